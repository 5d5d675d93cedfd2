#include "support/FaultInjectionEnv.h"

#include <csignal>
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

// A folder whose every operation goes through the Env's count and faults.
class FaultyFolder : public Folder {
  public:
    FaultyFolder(FaultInjectionEnv& env, std::unique_ptr<Folder> base)
        : Folder(base->openedAt()), env_(env), base_(std::move(base)) {}

    // Not a file operation: it only names the folder.
    Status Where(std::string* path) override { return base_->Where(path); }

    Status OpenForRead(const std::string& name, std::unique_ptr<ReadableFile>* file) override {
        return Run("open-read", "open", name, false, [&] {
            std::unique_ptr<ReadableFile> base;
            Status status = base_->OpenForRead(name, &base);
            if (status.ok())
                file->reset(new FaultyReadableFile(env_, Logged(name), std::move(base)));
            return status;
        });
    }
    Status CreateNew(const std::string& name, std::unique_ptr<WritableFile>* file) override {
        return Run("create", "create", name, true, [&] {
            std::unique_ptr<WritableFile> base;
            Status status = base_->CreateNew(name, &base);
            if (status.ok())
                file->reset(new FaultyWritableFile(env_, Logged(name), std::move(base)));
            return status;
        });
    }
    Status GetFileKind(const std::string& name, FileKind* kind) override {
        return Run("stat", "examine", name, false, [&] { return base_->GetFileKind(name, kind); });
    }
    Status GetFileSize(const std::string& name, uint64_t* size) override {
        return Run("size", "examine", name, false, [&] { return base_->GetFileSize(name, size); });
    }
    Status ReadLink(const std::string& name, std::string* target) override {
        return Run("readlink", "read the link", name, false,
                   [&] { return base_->ReadLink(name, target); });
    }
    Status CreateDir(const std::string& name) override {
        return Run("mkdir", "create folder", name, true, [&] { return base_->CreateDir(name); });
    }
    Status OpenFolder(const std::string& name, std::unique_ptr<Folder>* folder) override {
        return Run("open-folder", "open folder", name, false, [&] {
            std::unique_ptr<Folder> base;
            Status status = base_->OpenFolder(name, &base);
            if (status.ok()) {
                folder->reset(new FaultyFolder(env_, std::move(base)));
                (*folder)->SetTempNameForm(tempNameForm());
            }
            return status;
        });
    }
    Status List(std::vector<std::string>* names) override {
        return Run("list", "list folder", "", false, [&] { return base_->List(names); });
    }
    Status RenameFile(const std::string& from, const std::string& to) override {
        const Status status = Run(
            "rename", "rename", from, true, [&] { return base_->RenameFile(from, to); }, to);
        if (status.ok())
            env_.Renamed(PathOf(to));
        return status;
    }
    Status RenameNoReplace(const std::string& from, const std::string& to) override {
        return Run(
            "rename-new", "rename", from, true, [&] { return base_->RenameNoReplace(from, to); },
            to);
    }
    Status RemoveFile(const std::string& name) override {
        return Run("remove", "delete", name, true, [&] { return base_->RemoveFile(name); });
    }
    Status GetOwnership(const std::string& name, FileOwnership* ownership) override {
        return Run("stat-owner", "examine", name, false, [&] {
            Status status = base_->GetOwnership(name, ownership);
            if (status.ok() && env_.ownershipFixed()) {
                ownership->known = true;
                ownership->mode = env_.fixedMode();
                ownership->owner = ownership->group = 0;
                ownership->attributes.clear();
            }
            return status;
        });
    }
    Status SetOwnership(const std::string& name, const FileOwnership& ownership) override {
        return Run("chown", "change the permissions of", name, true, [&] {
            return env_.ownershipFixed() ? Status::OK() : base_->SetOwnership(name, ownership);
        });
    }
    Status Sync() override {
        return Run("sync-dir", "flush folder", "", false, [&] { return base_->Sync(); });
    }
    Status Lock(const std::string& lockName, std::unique_ptr<FolderLock>* lock,
                LockHolder* holder) override {
        return Run("lock", "lock folder", "", false,
                   [&] { return base_->Lock(lockName, lock, holder); });
    }
    Status LockToRead(const std::string& lockName, std::unique_ptr<FolderLock>* lock,
                      LockHolder* holder) override {
        return Run("lock", "lock folder", "", false,
                   [&] { return base_->LockToRead(lockName, lock, holder); });
    }

  private:
    std::string Logged(const std::string& name) const {
        return name.empty() ? openedAt() : JoinPath(openedAt(), name);
    }

    template <class Operation>
    Status Run(const char* operation, const char* what, const std::string& name, bool changes,
               Operation&& run, const std::string& to = std::string()) {
        const std::string path = Logged(name);
        Status status;
        if (env_.Begin(operation, to.empty() ? path : path + " -> " + Logged(to), changes))
            status = env_.Injected(what, path);
        else
            status = run();
        env_.End();
        return status;
    }

    FaultInjectionEnv& env_;
    std::unique_ptr<Folder> base_;
};

}  // namespace

bool FaultInjectionEnv::Begin(const char* operation, const std::string& path, bool changes) {
    ++count_;
    log_.push_back(std::to_string(count_) + " " + operation + " " + path);
    failingEvery_ = !failEvery_.empty() && failEvery_ == operation;
    if (failingEvery_ || (readOnly_ && changes))
        return true;
    return failAt_ != 0 && (count_ == failAt_ || (failFromThenOn_ && count_ > failAt_));
}

void FaultInjectionEnv::End() {
    if (crashAfter_ != 0 && count_ >= crashAfter_)
        std::_Exit(kCrashExitStatus);
    if (signalAfter_ != 0 && count_ == signalAfter_)
        std::raise(signal_);
}

Status FaultInjectionEnv::Injected(const char* operation, const std::string& path) {
    return Status::Make(failingEvery_ ? failEveryCode_ : code_,
                        std::string("injected fault: cannot ") + operation + " " + Quoted(path),
                        path, 0, "injected fault");
}

Status FaultInjectionEnv::OpenFolder(const std::string& path, std::unique_ptr<Folder>* folder) {
    Status status;
    if (Begin("open-folder", path)) {
        status = Injected("open folder", path);
    } else {
        std::unique_ptr<Folder> base;
        status = base_.OpenFolder(path, &base);
        if (status.ok())
            folder->reset(new FaultyFolder(*this, std::move(base)));
    }
    End();
    return status;
}

}  // namespace platform
