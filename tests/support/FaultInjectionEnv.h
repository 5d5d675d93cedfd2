#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/os/Env.h"

namespace platform {

// An Env for tests: passes every operation to a base Env, counts them, and can
// make the N-th operation fail (once, or that one and every later one), or end
// the process right after the N-th operation as if it had been killed.
// A failing write first writes half of its bytes, as a full disk would.
class FaultInjectionEnv : public Env {
  public:
    static constexpr int kCrashExitStatus = 86;

    explicit FaultInjectionEnv(Env& base) : base_(base) {}

    // Operation n fails (and, fromThenOn, every later one) with a status of
    // the kind `code`.
    void FailAt(uint64_t n, bool fromThenOn = false, StatusCode code = StatusCode::kIoError) {
        failAt_ = n;
        failFromThenOn_ = fromThenOn;
        code_ = code;
    }
    void CrashAfter(uint64_t n) { crashAfter_ = n; }
    // Called after each rename that replaces or creates `to`, as another
    // program could act on the file the moment it is in place.
    void AfterRename(std::function<void(const std::string& to)> action) {
        afterRename_ = std::move(action);
    }
    // Every operation that would change the file system fails, as on a
    // read-only folder (which the super-user cannot otherwise be shown).
    void MakeReadOnly() { readOnly_ = true; }

    uint64_t OperationCount() const { return count_; }
    // One line per operation: "<n> <operation> <path>".
    const std::vector<std::string>& Log() const { return log_; }

    Status OpenForRead(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override;
    Status GetFileKind(const std::string& path, FileKind* kind) override;
    Status GetFileSize(const std::string& path, uint64_t* size) override;
    Status ReadLink(const std::string& path, std::string* target) override;
    Status CreateDir(const std::string& path) override;
    Status ListDir(const std::string& path, std::vector<std::string>* names) override;
    Status RenameFile(const std::string& from, const std::string& to) override;
    Status RenameNoReplace(const std::string& from, const std::string& to) override;
    Status RemoveFile(const std::string& path) override;
    Status GetOwnership(const std::string& path, FileOwnership* ownership) override;
    Status SetOwnership(const std::string& path, const FileOwnership& ownership) override;
    Status SyncDir(const std::string& path) override;
    Status LockDir(const std::string& path, const std::string& lockName,
                   std::unique_ptr<FolderLock>* lock) override;
    Status LockDirToRead(const std::string& path, const std::string& lockName,
                         std::unique_ptr<FolderLock>* lock) override;
    Status GetCurrentDir(std::string* path) override;

    // Used by the file objects this Env hands out. True when this operation
    // must fail.
    bool Begin(const char* operation, const std::string& path, bool changes = false);
    void End();
    Status Injected(const char* operation, const std::string& path);

  private:
    Env& base_;
    uint64_t count_ = 0;
    uint64_t failAt_ = 0;
    bool failFromThenOn_ = false;
    StatusCode code_ = StatusCode::kIoError;
    uint64_t crashAfter_ = 0;
    bool readOnly_ = false;
    std::vector<std::string> log_;
    std::function<void(const std::string& to)> afterRename_;
};

}  // namespace platform
