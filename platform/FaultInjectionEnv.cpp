#include "platform/FaultInjectionEnv.h"

#include <cstdlib>

namespace platform {
namespace {

class FaultyReadableFile : public ReadableFile {
  public:
    FaultyReadableFile(FaultInjectionEnv& env, std::string path, std::unique_ptr<ReadableFile> base)
        : env_(env), path_(std::move(path)), base_(std::move(base)) {}
    Status Read(void* buffer, size_t n, size_t* got) override {
        *got = 0;
        Status status = env_.Begin("read", path_) ? FaultInjectionEnv::Injected("read", path_)
                                                  : base_->Read(buffer, n, got);
        env_.End();
        return status;
    }
    Status Close() override {
        Status status = env_.Begin("close", path_) ? FaultInjectionEnv::Injected("close", path_)
                                                   : base_->Close();
        env_.End();
        return status;
    }

  private:
    FaultInjectionEnv& env_;
    std::string path_;
    std::unique_ptr<ReadableFile> base_;
};

class FaultyWritableFile : public WritableFile {
  public:
    FaultyWritableFile(FaultInjectionEnv& env, std::string path, std::unique_ptr<WritableFile> base)
        : env_(env), path_(std::move(path)), base_(std::move(base)) {}
    Status Write(const void* data, size_t n) override {
        Status status;
        if (env_.Begin("write", path_)) {
            base_->Write(data, n / 2);  // a torn write
            status = FaultInjectionEnv::Injected("write", path_);
        } else {
            status = base_->Write(data, n);
        }
        env_.End();
        return status;
    }
    Status Flush() override {
        Status status = env_.Begin("flush", path_) ? FaultInjectionEnv::Injected("flush", path_)
                                                   : base_->Flush();
        env_.End();
        return status;
    }
    Status Close() override {
        Status status;
        if (env_.Begin("close", path_)) {
            base_->Close();
            status = FaultInjectionEnv::Injected("close", path_);
        } else {
            status = base_->Close();
        }
        env_.End();
        return status;
    }

  private:
    FaultInjectionEnv& env_;
    std::string path_;
    std::unique_ptr<WritableFile> base_;
};

}  // namespace

bool FaultInjectionEnv::Begin(const char* operation, const std::string& path) {
    ++count_;
    log_.push_back(std::to_string(count_) + " " + operation + " " + path);
    return failAt_ != 0 && (count_ == failAt_ || (failFromThenOn_ && count_ > failAt_));
}

void FaultInjectionEnv::End() {
    if (crashAfter_ != 0 && count_ >= crashAfter_)
        std::_Exit(kCrashExitStatus);
}

Status FaultInjectionEnv::Injected(const char* operation, const std::string& path) {
    return Status::Error(std::string("injected fault: cannot ") + operation + " \"" + path + "\"");
}

Status FaultInjectionEnv::OpenForRead(const std::string& path,
                                      std::unique_ptr<ReadableFile>* file) {
    Status status;
    if (Begin("open-read", path)) {
        status = Injected("open", path);
    } else {
        std::unique_ptr<ReadableFile> base;
        status = base_.OpenForRead(path, &base);
        if (status.ok())
            file->reset(new FaultyReadableFile(*this, path, std::move(base)));
    }
    End();
    return status;
}

Status FaultInjectionEnv::OpenForWrite(const std::string& path,
                                       std::unique_ptr<WritableFile>* file) {
    Status status;
    if (Begin("open-write", path)) {
        status = Injected("create", path);
    } else {
        std::unique_ptr<WritableFile> base;
        status = base_.OpenForWrite(path, &base);
        if (status.ok())
            file->reset(new FaultyWritableFile(*this, path, std::move(base)));
    }
    End();
    return status;
}

Status FaultInjectionEnv::GetFileKind(const std::string& path, FileKind* kind) {
    Status status = Begin("stat", path) ? Injected("examine", path) : base_.GetFileKind(path, kind);
    End();
    return status;
}

Status FaultInjectionEnv::CreateDirectory(const std::string& path) {
    Status status =
        Begin("mkdir", path) ? Injected("create folder", path) : base_.CreateDirectory(path);
    End();
    return status;
}

Status FaultInjectionEnv::CopyFile(const std::string& from, const std::string& to) {
    Status status =
        Begin("copy", from + " -> " + to) ? Injected("copy", from) : base_.CopyFile(from, to);
    End();
    return status;
}

Status FaultInjectionEnv::RenameFile(const std::string& from, const std::string& to) {
    Status status =
        Begin("rename", from + " -> " + to) ? Injected("rename", from) : base_.RenameFile(from, to);
    End();
    return status;
}

Status FaultInjectionEnv::RemoveFile(const std::string& path) {
    Status status = Begin("remove", path) ? Injected("delete", path) : base_.RemoveFile(path);
    End();
    return status;
}

Status FaultInjectionEnv::GetCurrentDirectory(std::string* path) {
    Status status =
        Begin("getcwd", "") ? Injected("find", "current folder") : base_.GetCurrentDirectory(path);
    End();
    return status;
}

}  // namespace platform
