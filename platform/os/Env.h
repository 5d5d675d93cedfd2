#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace platform {

// What stands under a name. Links are not followed: a link is reported as
// one, whatever it points at (or whether it points anywhere).
enum class FileKind {
    kMissing,
    kFile,  // a regular file
    kDirectory,
    kLink,   // a symbolic link (or another kind of reparse point)
    kOther,  // a FIFO, a device, a socket: nothing the journal can be
};

// One extended attribute of a file, as the system stores it; an access
// control list is one.
struct FileAttribute {
    std::string name;
    std::string value;
    bool operator==(const FileAttribute& other) const {
        return name == other.name && value == other.value;
    }
};

// Who owns a file, who may read it, and what else the file system keeps
// about it. A file that replaces another takes these from it. Where the
// platform has no such things (Windows: a file takes the folder's inherited
// access), they are empty and applying them does nothing.
struct FileOwnership {
    bool known = false;
    uint32_t mode = 0;  // permission bits
    int64_t owner = -1;
    int64_t group = -1;
    // Its extended attributes, the access control list among them; none
    // where the file system keeps none.
    std::vector<FileAttribute> attributes;
};

// `ownership` narrowed to its owner: no permission for anyone else, and no
// extended attribute, since an access control list may let others read.
// What a file holding the deciphered journal gets.
FileOwnership Private(FileOwnership ownership);
// True when `ownership`, as read back from a file, lets nobody but its owner
// read the file (always, where the platform has no permission bits).
bool IsPrivate(const FileOwnership& ownership);

// A file opened for reading. Every call is one file-system operation.
class ReadableFile {
  public:
    virtual ~ReadableFile() = default;
    // Reads up to n bytes. *got is 0 only at the end of the file.
    virtual Status Read(void* buffer, size_t n, size_t* got) = 0;
    virtual Status Close() = 0;
};

// A file opened for writing; always a new one (see Folder::CreateNew).
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

// Who holds a folder's lock, as far as the system tells.
struct LockHolder {
    bool known = false;
    std::string program;  // the name the system gives the holding process
    int64_t process = 0;  // its process number
    // The holder runs the same program as the process asking: another run
    // of it.
    bool sameProgram = false;
};

// How temporary files are named: `before` + the name of the file the
// temporary file is made beside + `between` + kTempNameRandomLength random
// letters or digits + `after`.
constexpr size_t kTempNameRandomLength = 8;
struct TempNameForm {
    std::string before;
    std::string between = ".";
    std::string after = ".tmp";

    std::string Make(const std::string& near, const std::string& random) const;
    // True for a name of this form made beside `near`.
    bool Matches(const std::string& name, const std::string& near) const;
};

// A folder held open. Every operation names a file of the folder by its bare
// name and works relative to the handle taken when the folder was opened,
// never through the folder's path: a folder that is moved or renamed while
// it is open is still the one worked in, and a new folder made at its old
// path is never touched. (Where the system cannot work relative to a handle,
// the handle is held so that the folder cannot be moved while it is open.)
//
// Nothing is opened through a link: a link under a name is reported as one,
// opening it as a file fails, and a rename replaces the link itself, never
// what it points at. New files are created exclusively, temporary files
// under names no one can guess.
//
// Failures name the file where the folder is when they are made.
class Folder {
  public:
    virtual ~Folder() = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // The folder's path when it was opened.
    const std::string& openedAt() const { return openedAt_; }
    // Where the folder is now, found through the handle. Fails when the
    // system cannot tell (the folder was deleted, or the system keeps no
    // record of it).
    virtual Status Where(std::string* path) = 0;
    // Where(), or the path at opening when the system cannot tell: what
    // messages name.
    std::string Location();
    // A file of the folder, as messages name it.
    std::string PathOf(const std::string& name);

    // Opens a regular file for reading. Anything else (a link, a folder, a
    // FIFO, a device) is refused without waiting on it.
    virtual Status OpenForRead(const std::string& name, std::unique_ptr<ReadableFile>* file) = 0;
    // Creates a new file, readable by its owner only as far as the file
    // system keeps permissions; fails when anything, a link included, has
    // the name already. The file belongs to the owner of the folder.
    virtual Status CreateNew(const std::string& name, std::unique_ptr<WritableFile>* file) = 0;
    // Creates a new private file beside `near`, named as the folder's
    // temporary names are (see SetTempNameForm), and tells its name:
    // CreateNew under a name no one can guess, tried again under another
    // while the name is taken.
    Status CreateTemp(const std::string& near, std::string* name,
                      std::unique_ptr<WritableFile>* file);
    void SetTempNameForm(const TempNameForm& form) { tempNames_ = form; }
    const TempNameForm& tempNameForm() const { return tempNames_; }
    // What stands under the name. Failing to find out is an error, never
    // "missing": taking an unreadable journal for an absent one would
    // overwrite it.
    virtual Status GetFileKind(const std::string& name, FileKind* kind) = 0;
    // The size in bytes of the file `name` (the link itself for a link).
    virtual Status GetFileSize(const std::string& name, uint64_t* size) = 0;
    // Where a link points, as stored in it.
    virtual Status ReadLink(const std::string& name, std::string* target) = 0;
    virtual Status CreateDir(const std::string& name) = 0;
    // A folder inside this one, held open itself; never through a link.
    virtual Status OpenFolder(const std::string& name, std::unique_ptr<Folder>* folder) = 0;
    // The names in the folder ("." and ".." left out), in no particular
    // order.
    virtual Status List(std::vector<std::string>* names) = 0;
    // Atomically puts `from` in the place of `to` (a link at `to` is replaced
    // itself). `from` keeps its own ownership and permissions.
    virtual Status RenameFile(const std::string& from, const std::string& to) = 0;
    // Renames `from` to `to` only if nothing stands at `to`; fails with
    // StatusCode::kExists when something does. Where the file system cannot
    // do that in one step, the name is checked free, then renamed to, then
    // checked again: safe while no other process makes files of that name,
    // as none does in a folder whose lock is held.
    virtual Status RenameNoReplace(const std::string& from, const std::string& to) = 0;
    virtual Status RemoveFile(const std::string& name) = 0;
    // A regular file's ownership, read through the file itself.
    virtual Status GetOwnership(const std::string& name, FileOwnership* ownership) = 0;
    // Gives a regular file `ownership`, through the opened file itself,
    // never by name. Only the super-user gives a file away; anyone else
    // keeps what they make, as with any program of theirs. A file system
    // that keeps no owners or permission bits refuses (StatusCode::
    // kNotSupported or kPermission) or ignores the change: see
    // KeepOwnership.
    virtual Status SetOwnership(const std::string& name, const FileOwnership& ownership) = 0;
    // Makes the renames and removals done in the folder survive a power cut.
    virtual Status Sync() = 0;
    // Takes the folder's lock without waiting; fails with StatusCode::kBusy
    // when another process holds it, and then tells in *holder who that is
    // where the system can tell. Where the system locks only files
    // (Windows), the lock is a hidden file named `lockName` in the folder,
    // deleted with the lock; elsewhere the lock is on the folder itself and
    // the name is not used.
    virtual Status Lock(const std::string& lockName, std::unique_ptr<FolderLock>* lock,
                        LockHolder* holder) = 0;
    // The same for a run that only reads and must change nothing in the
    // folder: where the lock is on the folder itself, a shared one is taken
    // (kBusy while a run holds the lock); where the lock is a file, nothing
    // is created, *lock stays empty, and kBusy says the file is held. *holder
    // tells who holds it, as Lock does.
    virtual Status LockToRead(const std::string& lockName, std::unique_ptr<FolderLock>* lock,
                              LockHolder* holder) = 0;

  protected:
    explicit Folder(std::string openedAt) : openedAt_(std::move(openedAt)) {}

  private:
    std::string openedAt_;
    TempNameForm tempNames_;
};

// Every file operation of the program goes through an Env and the folders it
// opens, so that tests can make any single operation fail, or stop the run
// right after it, and watch what is left on disk. An object that is
// destroyed without Close() releases its handle quietly; that is the path of
// a run that is already failing.
class Env {
  public:
    virtual ~Env() = default;

    // Opens the folder at `path` ("." for the current folder) and holds it
    // open (see Folder).
    virtual Status OpenFolder(const std::string& path, std::unique_ptr<Folder>* folder) = 0;

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
Status ReadWholeFile(Folder& folder, const std::string& name, std::string* contents);
// The same for a file that must be small (settings): one larger than
// `limit` bytes is refused with a status that says so, before it is read.
Status ReadSmallFile(Folder& folder, const std::string& name, size_t limit, std::string* contents);
// Writes through a temporary file beside `name` and renames it over `name`,
// so that readers see the old contents or the new, never a part. A file that
// is replaced passes its ownership, permissions and attributes on; a new one
// is private.
Status WriteFileAtomically(Folder& folder, const std::string& name, const std::string& contents);
// Copies `from` to `to` the same way: through a temporary file, flushed,
// then renamed over `to`, which keeps its ownership when it was there. Given
// `ownership`, the copy has that instead (as far as the file system keeps
// it), before it takes the name `to`.
Status CopyWholeFile(Folder& folder, const std::string& from, const std::string& to,
                     const FileOwnership* ownership = nullptr);
// Gives the file `temp`, about to replace `target`, the ownership,
// permissions and attributes of `target` (when `target` exists), as far as
// the file system keeps them.
Status TakeOwnershipOf(Folder& folder, const std::string& temp, const std::string& target);
// Gives the file `name` what the file system keeps of `ownership`. A file
// system that keeps no owners or permission bits (FAT, exFAT) refuses the
// change or ignores it; either is no failure here: read the ownership back
// where it matters.
Status KeepOwnership(Folder& folder, const std::string& name, const FileOwnership& ownership);

// The same for a file outside any folder held open (tools, tests): its folder
// is opened for the one operation.
Status ReadWholeFile(Env& env, const std::string& path, std::string* contents);
Status WriteFileAtomically(Env& env, const std::string& path, const std::string& contents);

// The platform's path separator and the join the whole program uses; every
// separator the platform takes in a path.
extern const char kPathSeparator;
extern const char kPathSeparators[];
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder part and the name part of a path made by JoinPath.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

}  // namespace platform
