#include "platform/os/BufferedIO.h"

#include <cstring>

#include "platform/os/Interrupt.h"

namespace platform {
namespace {
constexpr size_t kBufferSize = 1 << 16;
}

BufferedReader::BufferedReader(Folder& folder, const std::string& name) : buffer_(kBufferSize) {
    ThrowIfFailed(folder.OpenForRead(name, &file_));
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

AtomicFileWriter::AtomicFileWriter(Folder& folder, const std::string& name)
    : folder_(folder), name_(name), buffer_(kBufferSize) {
    ThrowIfFailed(folder_.CreateTemp(name, &temp_, &file_));
}

AtomicFileWriter::~AtomicFileWriter() {
    if (file_) {
        file_.reset();
        folder_.RemoveFile(temp_);  // best effort: the target is untouched either way
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
        folder_.RemoveFile(temp_);
        ThrowIfFailed(closed);
    }
    file_.reset();
    Status renamed = TakeOwnershipOf(folder_, temp_, name_);
    if (renamed.ok())
        renamed = folder_.RenameFile(temp_, name_);
    if (!renamed.ok()) {
        folder_.RemoveFile(temp_);
        ThrowIfFailed(renamed);
    }
}

}  // namespace platform
