#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Status.h"

namespace platform {

enum class FileKind { kMissing, kFile, kDirectory };

// A file opened for reading. Every call is one file-system operation.
class ReadableFile {
  public:
    virtual ~ReadableFile() = default;
    // Reads up to n bytes. *got is 0 only at the end of the file.
    virtual Status Read(void* buffer, size_t n, size_t* got) = 0;
    virtual Status Close() = 0;
};

// A file opened for writing (created, or truncated when present).
class WritableFile {
  public:
    virtual ~WritableFile() = default;
    virtual Status Write(const void* data, size_t n) = 0;
    Status Write(const std::string& data) { return Write(data.data(), data.size()); }
    // Pushes everything written so far to stable storage.
    virtual Status Flush() = 0;
    virtual Status Close() = 0;
};

// Every file operation of the program goes through an Env, so that tests can
// make any single operation fail, or stop the run right after it, and watch
// what is left on disk. An object that is destroyed without Close() releases
// its handle quietly; that is the path of a run that is already failing.
class Env {
  public:
    virtual ~Env() = default;

    virtual Status OpenForRead(const std::string& path, std::unique_ptr<ReadableFile>* file) = 0;
    virtual Status OpenForWrite(const std::string& path, std::unique_ptr<WritableFile>* file) = 0;
    // What stands at `path`. Failing to find out is an error, never "missing":
    // taking an unreadable journal for an absent one would overwrite it.
    virtual Status GetFileKind(const std::string& path, FileKind* kind) = 0;
    virtual Status CreateDirectory(const std::string& path) = 0;
    // Copies with overwrite. The target is replaced atomically, so a failed
    // copy never leaves a truncated target behind.
    virtual Status CopyFile(const std::string& from, const std::string& to) = 0;
    // Atomically replaces `to` when it exists.
    virtual Status RenameFile(const std::string& from, const std::string& to) = 0;
    virtual Status RemoveFile(const std::string& path) = 0;
    virtual Status GetCurrentDirectory(std::string* path) = 0;

    // The Env in use: the real file system unless a test installed another.
    static Env& Current();
    static Env& Real();

  protected:
    friend class ScopedEnv;
    static Env* current_;
};

// Installs an Env for the lifetime of this object (tests and fault sweeps).
class ScopedEnv {
  public:
    explicit ScopedEnv(Env& env) : previous_(Env::current_) { Env::current_ = &env; }
    ~ScopedEnv() { Env::current_ = previous_; }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    Env* previous_;
};

// Whole-file helpers built on the operations above.
Status ReadWholeFile(Env& env, const std::string& path, std::string* contents);
// Writes through a temporary file beside `path` and renames it over `path`,
// so that readers see the old contents or the new, never a part.
Status WriteFileAtomically(Env& env, const std::string& path, const std::string& contents);

// The platform's path separator and the join the whole program uses.
extern const char kPathSeparator;
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace platform
