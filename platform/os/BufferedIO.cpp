#include "platform/os/BufferedIO.h"

#include <cstring>

#include "platform/os/Interrupt.h"

namespace platform {
namespace {
constexpr size_t kBufferSize = 1 << 16;
}

BufferedReader::BufferedReader(Env& env, const std::string& path)
    : path_(path), buffer_(kBufferSize) {
    ThrowIfFailed(env.OpenForRead(path, &file_));
}

bool BufferedReader::Refill() {
    if (!file_)
        return false;
    CheckForInterrupt();
    size_t got = 0;
    ThrowIfFailed(file_->Read(buffer_.data(), buffer_.size(), &got));
    next_ = 0;
    end_ = got;
    return got > 0;
}

void BufferedReader::Close() {
    if (!file_)
        return;
    Status status = file_->Close();
    file_.reset();
    ThrowIfFailed(status);
}

AtomicFileWriter::AtomicFileWriter(Env& env, const std::string& path)
    : env_(env), path_(path), buffer_(kBufferSize) {
    ThrowIfFailed(env_.CreateTemp(path, &temp_, &file_));
}

AtomicFileWriter::~AtomicFileWriter() {
    if (file_) {
        file_.reset();
        env_.RemoveFile(temp_);  // best effort: the target is untouched either way
    }
}

void AtomicFileWriter::Write(const char* data, size_t n) {
    while (n > 0) {
        if (used_ == buffer_.size())
            Drain();
        size_t take = std::min(n, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, data, take);
        used_ += take;
        data += take;
        n -= take;
    }
}

void AtomicFileWriter::Drain() {
    CheckForInterrupt();
    ThrowIfFailed(file_->Write(buffer_.data(), used_));
    used_ = 0;
}

void AtomicFileWriter::Commit() {
    Drain();
    ThrowIfFailed(file_->Flush());
    Status closed = file_->Close();
    if (!closed.ok()) {
        file_.reset();
        env_.RemoveFile(temp_);
        ThrowIfFailed(closed);
    }
    file_.reset();
    Status renamed = TakeOwnershipOf(env_, temp_, path_);
    if (renamed.ok())
        renamed = env_.RenameFile(temp_, path_);
    if (!renamed.ok()) {
        env_.RemoveFile(temp_);
        ThrowIfFailed(renamed);
    }
}

}  // namespace platform
