#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Env.h"

namespace platform {

// An Env for tests: passes every operation to a base Env, counts them, and can
// make the N-th operation fail (once, or that one and every later one), or end
// the process right after the N-th operation as if it had been killed.
// A failing write first writes half of its bytes, as a full disk would.
class FaultInjectionEnv : public Env {
  public:
    static constexpr int kCrashExitStatus = 86;

    explicit FaultInjectionEnv(Env& base) : base_(base) {}

    void FailAt(uint64_t n, bool fromThenOn = false) {
        failAt_ = n;
        failFromThenOn_ = fromThenOn;
    }
    void CrashAfter(uint64_t n) { crashAfter_ = n; }

    uint64_t OperationCount() const { return count_; }
    // One line per operation: "<n> <operation> <path>".
    const std::vector<std::string>& Log() const { return log_; }

    Status OpenForRead(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
    Status OpenForWrite(const std::string& path, std::unique_ptr<WritableFile>* file) override;
    Status GetFileKind(const std::string& path, FileKind* kind) override;
    Status CreateDirectory(const std::string& path) override;
    Status CopyFile(const std::string& from, const std::string& to) override;
    Status RenameFile(const std::string& from, const std::string& to) override;
    Status RemoveFile(const std::string& path) override;
    Status GetCurrentDirectory(std::string* path) override;

    // Used by the file objects this Env hands out. True when this operation
    // must fail.
    bool Begin(const char* operation, const std::string& path);
    void End();
    static Status Injected(const char* operation, const std::string& path);

  private:
    Env& base_;
    uint64_t count_ = 0;
    uint64_t failAt_ = 0;
    bool failFromThenOn_ = false;
    uint64_t crashAfter_ = 0;
    std::vector<std::string> log_;
};

}  // namespace platform
