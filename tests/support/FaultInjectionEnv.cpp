#include "support/FaultInjectionEnv.h"

#include <cstdlib>

namespace platform {
namespace {

class FaultyReadableFile : public ReadableFile {
  public:
    FaultyReadableFile(FaultInjectionEnv& env, std::string path, std::unique_ptr<ReadableFile> base)
        : env_(env), path_(std::move(path)), base_(std::move(base)) {}
    Status Read(void* buffer, size_t n, size_t* got) override {
        *got = 0;
        Status status =
            env_.Begin("read", path_) ? env_.Injected("read", path_) : base_->Read(buffer, n, got);
        env_.End();
        return status;
    }
    Status Close() override {
        Status status = env_.Begin("close", path_) ? env_.Injected("close", path_) : base_->Close();
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
            status = env_.Injected("write", path_);
        } else {
            status = base_->Write(data, n);
        }
        env_.End();
        return status;
    }
    Status Flush() override {
        Status status = env_.Begin("flush", path_) ? env_.Injected("flush", path_) : base_->Flush();
        env_.End();
        return status;
    }
    Status Close() override {
        Status status;
        if (env_.Begin("close", path_)) {
            base_->Close();
            status = env_.Injected("close", path_);
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

bool FaultInjectionEnv::Begin(const char* operation, const std::string& path, bool changes) {
    ++count_;
    log_.push_back(std::to_string(count_) + " " + operation + " " + path);
    if (readOnly_ && changes)
        return true;
    return failAt_ != 0 && (count_ == failAt_ || (failFromThenOn_ && count_ > failAt_));
}

void FaultInjectionEnv::End() {
    if (crashAfter_ != 0 && count_ >= crashAfter_)
        std::_Exit(kCrashExitStatus);
}

Status FaultInjectionEnv::Injected(const char* operation, const std::string& path) {
    return Status::Make(code_,
                        std::string("injected fault: cannot ") + operation + " " + Quoted(path),
                        path, 0, "injected fault");
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

Status FaultInjectionEnv::CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) {
    Status status;
    if (Begin("create", path, true)) {
        status = Injected("create", path);
    } else {
        std::unique_ptr<WritableFile> base;
        status = base_.CreateNew(path, &base);
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

Status FaultInjectionEnv::GetFileSize(const std::string& path, uint64_t* size) {
    Status status = Begin("size", path) ? Injected("examine", path) : base_.GetFileSize(path, size);
    End();
    return status;
}

Status FaultInjectionEnv::ReadLink(const std::string& path, std::string* target) {
    Status status =
        Begin("readlink", path) ? Injected("read the link", path) : base_.ReadLink(path, target);
    End();
    return status;
}

Status FaultInjectionEnv::CreateDir(const std::string& path) {
    Status status =
        Begin("mkdir", path, true) ? Injected("create folder", path) : base_.CreateDir(path);
    End();
    return status;
}

Status FaultInjectionEnv::ListDir(const std::string& path, std::vector<std::string>* names) {
    Status status =
        Begin("list", path) ? Injected("list folder", path) : base_.ListDir(path, names);
    End();
    return status;
}

Status FaultInjectionEnv::RenameFile(const std::string& from, const std::string& to) {
    Status status = Begin("rename", from + " -> " + to, true) ? Injected("rename", from)
                                                              : base_.RenameFile(from, to);
    End();
    if (status.ok() && afterRename_)
        afterRename_(to);
    return status;
}

Status FaultInjectionEnv::RenameNoReplace(const std::string& from, const std::string& to) {
    Status status = Begin("rename-new", from + " -> " + to, true) ? Injected("rename", from)
                                                                  : base_.RenameNoReplace(from, to);
    End();
    return status;
}

Status FaultInjectionEnv::RemoveFile(const std::string& path) {
    Status status = Begin("remove", path, true) ? Injected("delete", path) : base_.RemoveFile(path);
    End();
    return status;
}

Status FaultInjectionEnv::GetOwnership(const std::string& path, FileOwnership* ownership) {
    Status status =
        Begin("stat-owner", path) ? Injected("examine", path) : base_.GetOwnership(path, ownership);
    End();
    return status;
}

Status FaultInjectionEnv::SetOwnership(const std::string& path, const FileOwnership& ownership) {
    Status status = Begin("chown", path, true) ? Injected("change the permissions of", path)
                                               : base_.SetOwnership(path, ownership);
    End();
    return status;
}

Status FaultInjectionEnv::SyncDir(const std::string& path) {
    Status status = Begin("sync-dir", path) ? Injected("flush folder", path) : base_.SyncDir(path);
    End();
    return status;
}

Status FaultInjectionEnv::LockDir(const std::string& path, const std::string& lockName,
                                  std::unique_ptr<FolderLock>* lock) {
    Status status =
        Begin("lock", path) ? Injected("lock folder", path) : base_.LockDir(path, lockName, lock);
    End();
    return status;
}

Status FaultInjectionEnv::LockDirToRead(const std::string& path, const std::string& lockName,
                                        std::unique_ptr<FolderLock>* lock) {
    Status status = Begin("lock", path) ? Injected("lock folder", path)
                                        : base_.LockDirToRead(path, lockName, lock);
    End();
    return status;
}

Status FaultInjectionEnv::GetCurrentDir(std::string* path) {
    Status status =
        Begin("getcwd", "") ? Injected("find", "current folder") : base_.GetCurrentDir(path);
    End();
    return status;
}

}  // namespace platform
