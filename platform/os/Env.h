#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace platform {

// What stands at a path. Links are not followed: a link is reported as one,
// whatever it points at (or whether it points anywhere).
enum class FileKind {
    kMissing,
    kFile,  // a regular file
    kDirectory,
    kLink,   // a symbolic link (or another kind of reparse point)
    kOther,  // a FIFO, a device, a socket: nothing the journal can be
};

// Who owns a file and who may read it. A file that replaces another takes
// these from it. Where the platform has no such bits (Windows: a file takes
// the folder's inherited access), they are empty and applying them does
// nothing.
struct FileOwnership {
    bool known = false;
    uint32_t mode = 0;  // permission bits
    int64_t owner = -1;
    int64_t group = -1;
};

// A file opened for reading. Every call is one file-system operation.
class ReadableFile {
  public:
    virtual ~ReadableFile() = default;
    // Reads up to n bytes. *got is 0 only at the end of the file.
    virtual Status Read(void* buffer, size_t n, size_t* got) = 0;
    virtual Status Close() = 0;
};

// A file opened for writing; always a new one (see Env::CreateNew).
class WritableFile {
  public:
    virtual ~WritableFile() = default;
    virtual Status Write(const void* data, size_t n) = 0;
    Status Write(const std::string& data) { return Write(data.data(), data.size()); }
    // Pushes everything written so far to stable storage.
    virtual Status Flush() = 0;
    virtual Status Close() = 0;
};

// The exclusive right to work in a folder, held until the object goes. The
// system lets it go when the process dies, however it dies, and it leaves
// nothing behind in the folder.
class FolderLock {
  public:
    virtual ~FolderLock() = default;
};

// Every file operation of the program goes through an Env, so that tests can
// make any single operation fail, or stop the run right after it, and watch
// what is left on disk. An object that is destroyed without Close() releases
// its handle quietly; that is the path of a run that is already failing.
//
// Nothing the program creates follows a link or replaces what another process
// made: new files are created exclusively, temporary files under names no one
// can guess, and a rename replaces a link itself, never what it points at.
class Env {
  public:
    virtual ~Env() = default;

    // Opens a regular file for reading. Anything else (a folder, a FIFO, a
    // device) is refused without waiting on it.
    virtual Status OpenForRead(const std::string& path, std::unique_ptr<ReadableFile>* file) = 0;
    // Creates a new file at `path`, readable by its owner only; fails when
    // anything, a link included, stands there already. The file belongs to
    // the owner of its folder.
    virtual Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) = 0;
    // Creates a new private file beside `near`, named `near` + "." + random
    // characters + ".tmp", and tells its path: CreateNew under a name no one
    // can guess, tried again under another while the name is taken.
    Status CreateTemp(const std::string& near, std::string* path,
                      std::unique_ptr<WritableFile>* file);
    // What stands at `path`. Failing to find out is an error, never "missing":
    // taking an unreadable journal for an absent one would overwrite it.
    virtual Status GetFileKind(const std::string& path, FileKind* kind) = 0;
    // The size in bytes of the file at `path` (the link itself for a link).
    virtual Status GetFileSize(const std::string& path, uint64_t* size) = 0;
    // Where a link points, as stored in it.
    virtual Status ReadLink(const std::string& path, std::string* target) = 0;
    virtual Status CreateDir(const std::string& path) = 0;
    // The names in a folder ("." and ".." left out), in no particular order.
    virtual Status ListDir(const std::string& path, std::vector<std::string>* names) = 0;
    // Atomically puts `from` in the place of `to` (a link at `to` is replaced
    // itself). `from` keeps its own ownership and permissions.
    virtual Status RenameFile(const std::string& from, const std::string& to) = 0;
    // Renames `from` to `to` only if nothing stands at `to`; fails with
    // StatusCode::kExists when something does.
    virtual Status RenameNoReplace(const std::string& from, const std::string& to) = 0;
    virtual Status RemoveFile(const std::string& path) = 0;
    virtual Status GetOwnership(const std::string& path, FileOwnership* ownership) = 0;
    virtual Status SetOwnership(const std::string& path, const FileOwnership& ownership) = 0;
    // Makes the renames and removals done in `path` survive a power cut.
    virtual Status SyncDir(const std::string& path) = 0;
    // Takes the folder's lock without waiting; fails with StatusCode::kBusy
    // when another process holds it. Where the system locks only files
    // (Windows), the lock is a hidden file named `lockName` in the folder,
    // deleted with the lock; elsewhere the lock is on the folder itself and
    // the name is not used.
    virtual Status LockDir(const std::string& path, const std::string& lockName,
                           std::unique_ptr<FolderLock>* lock) = 0;
    // The same for a run that only reads and must change nothing in the
    // folder: where the lock is on the folder itself, a shared one is taken
    // (kBusy while a run holds the lock); where the lock is a file, nothing
    // is created, *lock stays empty, and kBusy says the file is held.
    virtual Status LockDirToRead(const std::string& path, const std::string& lockName,
                                 std::unique_ptr<FolderLock>* lock) = 0;
    virtual Status GetCurrentDir(std::string* path) = 0;

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
// The same for a file that must be small (settings): one larger than
// `limit` bytes is refused with a status that says so, before it is read.
Status ReadSmallFile(Env& env, const std::string& path, size_t limit, std::string* contents);
// Writes through a temporary file beside `path` and renames it over `path`,
// so that readers see the old contents or the new, never a part. A file that
// is replaced passes its ownership and permissions on; a new one is private.
Status WriteFileAtomically(Env& env, const std::string& path, const std::string& contents);
// Copies `from` to `to` the same way: through a temporary file, flushed,
// then renamed over `to`, which keeps its ownership when it was there. Given
// `ownership`, the copy has that instead, before it takes the name `to`.
Status CopyWholeFile(Env& env, const std::string& from, const std::string& to,
                     const FileOwnership* ownership = nullptr);
// Gives the file at `temp`, about to replace `target`, the ownership and
// permissions of `target` (when `target` exists).
Status TakeOwnershipOf(Env& env, const std::string& temp, const std::string& target);

// True for the names CreateTemp gives to temporaries beside `near`'s name:
// nearName + "." + kTempNameRandomLength letters or digits + ".tmp".
constexpr size_t kTempNameRandomLength = 8;
bool IsTempNameFor(const std::string& name, const std::string& nearName);

// The platform's path separator and the join the whole program uses.
extern const char kPathSeparator;
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder part and the name part of a path made by JoinPath.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

}  // namespace platform
