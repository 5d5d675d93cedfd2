#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/os/Env.h"

namespace platform {

// An Env for tests: passes every operation, of the Env and of every folder
// and file it opens, to a base Env, counts them, and can make the N-th
// operation fail (once, or that one and every later one), or end the process
// right after the N-th operation as if it had been killed. A failing write
// first writes half of its bytes, as a full disk would.
//
// It can also play a file system that keeps no owners or permission bits:
// one that refuses every change of them, or one that takes every change and
// keeps none (FAT and exFAT as the kernel mounts them, by their options).
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
    // Every operation named `operation` (as in the log) fails with a status
    // of the kind `code`, and changes nothing.
    void FailEvery(const std::string& operation, StatusCode code) {
        failEvery_ = operation;
        failEveryCode_ = code;
    }
    // Every change of ownership succeeds and changes nothing; every file
    // reads back as owned by the super-user with permission bits `mode`.
    void KeepNoOwnership(uint32_t mode) {
        fixedMode_ = mode;
        ownershipFixed_ = true;
    }
    void CrashAfter(uint64_t n) { crashAfter_ = n; }
    // Right after operation n, the process sends itself `signal`, as a user
    // or another process might at that moment.
    void SignalAfter(uint64_t n, int signal) {
        signalAfter_ = n;
        signal_ = signal;
    }
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

    Status OpenFolder(const std::string& path, std::unique_ptr<Folder>* folder) override;

    // Used by the folders and files this Env hands out. True when this
    // operation must fail; Injected() then says how. A test may override it
    // to make some operations take their time, as on a slow disk.
    virtual bool Begin(const char* operation, const std::string& path, bool changes = false);
    void End();
    // Used by the folders: `path` has just been put in place by a rename.
    void Renamed(const std::string& path) {
        if (afterRename_)
            afterRename_(path);
    }
    Status Injected(const char* operation, const std::string& path);
    bool ownershipFixed() const { return ownershipFixed_; }
    uint32_t fixedMode() const { return fixedMode_; }

  private:
    Env& base_;
    uint64_t count_ = 0;
    uint64_t failAt_ = 0;
    bool failFromThenOn_ = false;
    StatusCode code_ = StatusCode::kIoError;
    std::string failEvery_;
    StatusCode failEveryCode_ = StatusCode::kIoError;
    bool failingEvery_ = false;  // the operation begun is one of those
    bool ownershipFixed_ = false;
    uint32_t fixedMode_ = 0;
    uint64_t crashAfter_ = 0;
    uint64_t signalAfter_ = 0;
    int signal_ = 0;
    bool readOnly_ = false;
    std::vector<std::string> log_;
    std::function<void(const std::string& to)> afterRename_;
};

}  // namespace platform
