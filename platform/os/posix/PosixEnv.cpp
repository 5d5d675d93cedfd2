// The real file system, through POSIX calls made relative to a folder's
// descriptor (openat and its kin), as Linux has them.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/os/Env.h"

namespace platform {
namespace {

// New files may hold the deciphered journal: only their owner may read them
// until they take the place (and the permissions) of the file they replace.
constexpr mode_t kPrivate = 0600;

// Every file of the folder is opened without following a link, and without
// waiting on a FIFO put in a file's place (which would hold the run, with the
// journal deciphered, until someone wrote to it).
constexpr int kOpenFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { Release(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Hands the descriptor over without closing it.
    int Take() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    int Release() {
        int result = 0;
        if (fd_ >= 0)
            result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

// The path of the folder an open descriptor stands for: the kernel keeps it
// up to date through renames. Fails as StatusCode::kNotFound when the folder
// was deleted, and as kNotSupported where the system keeps no such record
// (no /proc, as in a chroot or a container without it): that tells nothing
// of the folder.
Status DescriptorPath(int fd, const std::string& openedAt, std::string* path) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (n < 0) {
            const Status failure =
                Status::FromErrno("cannot find where the folder is", openedAt, errno);
            return Status::Make(StatusCode::kNotSupported, failure.message(), openedAt,
                                failure.systemCode(), failure.systemText());
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            path->assign(buffer.data(), static_cast<size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const std::string deleted = " (deleted)";
    if (path->empty() || (*path)[0] != '/' ||
        (path->size() > deleted.size() &&
         path->compare(path->size() - deleted.size(), deleted.size(), deleted) == 0)) {
        path->clear();
        return Status::Make(StatusCode::kNotFound,
                            "the folder " + Quoted(openedAt) + " is no longer anywhere", openedAt);
    }
    return Status::OK();
}

// The open folder, shared by the Folder and the files opened in it, which
// name themselves through it in their messages.
class FolderHandle {
  public:
    FolderHandle(int fd, std::string openedAt) : fd_(fd), openedAt_(std::move(openedAt)) {}
    int fd() const { return fd_.get(); }
    const std::string& openedAt() const { return openedAt_; }
    Status Where(std::string* path) const { return DescriptorPath(fd_.get(), openedAt_, path); }
    std::string PathOf(const std::string& name) const {
        std::string where;
        return JoinPath(Where(&where).ok() ? where : openedAt_, name);
    }

  private:
    FileDescriptor fd_;
    std::string openedAt_;
};

using SharedHandle = std::shared_ptr<const FolderHandle>;

class PosixReadableFile : public ReadableFile {
  public:
    PosixReadableFile(SharedHandle folder, std::string name, int fd)
        : folder_(std::move(folder)), name_(std::move(name)), fd_(fd) {}
    Status Read(void* buffer, size_t n, size_t* got) override {
        *got = 0;
        for (;;) {
            ssize_t r = ::read(fd_.get(), buffer, n);
            if (r >= 0) {
                *got = static_cast<size_t>(r);
                return Status::OK();
            }
            if (errno != EINTR)
                return Status::FromErrno("cannot read", folder_->PathOf(name_), errno);
        }
    }
    Status Close() override {
        if (fd_.Release() != 0)
            return Status::FromErrno("cannot close", folder_->PathOf(name_), errno);
        return Status::OK();
    }

  private:
    SharedHandle folder_;
    std::string name_;
    FileDescriptor fd_;
};

class PosixWritableFile : public WritableFile {
  public:
    PosixWritableFile(SharedHandle folder, std::string name, int fd)
        : folder_(std::move(folder)), name_(std::move(name)), fd_(fd) {}
    Status Write(const void* data, size_t n) override {
        const char* p = static_cast<const char*>(data);
        while (n > 0) {
            ssize_t w = ::write(fd_.get(), p, n);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return Status::FromErrno("cannot write", folder_->PathOf(name_), errno);
            }
            p += w;
            n -= static_cast<size_t>(w);
        }
        return Status::OK();
    }
    Status Flush() override {
        if (::fsync(fd_.get()) != 0 && errno != EINVAL && errno != EROFS)
            return Status::FromErrno("cannot flush", folder_->PathOf(name_), errno);
        return Status::OK();
    }
    Status Close() override {
        if (fd_.Release() != 0)
            return Status::FromErrno("cannot close", folder_->PathOf(name_), errno);
        return Status::OK();
    }

  private:
    SharedHandle folder_;
    std::string name_;
    FileDescriptor fd_;
};

class PosixFolderLock : public FolderLock {
  public:
    explicit PosixFolderLock(int fd) : fd_(fd) {}

  private:
    FileDescriptor fd_;  // closing it lets the lock go
};

bool IsRefusal(int err) {
    return err == EPERM || err == EACCES || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP ||
           err == EROFS;
}

std::string ProcessName(const std::string& process) {
    std::ifstream in("/proc/" + process + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// The process holding a whole-file lock on the file `fd` is open on, as the
// kernel lists the locks it holds.
LockHolder FindLockHolder(int fd) {
    LockHolder holder;
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return holder;
    char file[64];
    snprintf(file, sizeof file, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
             static_cast<unsigned long long>(st.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, type, advisory, access, process, lockedFile;
        fields >> number >> type >> advisory >> access >> process >> lockedFile;
        // "->" marks a process waiting for a lock, not holding one.
        if (type != "FLOCK" || lockedFile != file)
            continue;
        holder.process = std::atoll(process.c_str());
        holder.program = holder.process > 0 ? ProcessName(process) : std::string();
        holder.known = !holder.program.empty();
        holder.sameProgram = holder.known && holder.program == ProcessName("self");
        break;
    }
    return holder;
}

class PosixFolder : public Folder {
  public:
    explicit PosixFolder(SharedHandle handle)
        : Folder(handle->openedAt()), handle_(std::move(handle)) {}

    Status Where(std::string* path) override { return handle_->Where(path); }

    Status OpenForRead(const std::string& name, std::unique_ptr<ReadableFile>* file) override {
        FileDescriptor fd(::openat(dir(), name.c_str(), O_RDONLY | kOpenFlags));
        if (fd.get() < 0)
            return OpenFailure("cannot open", name, errno);
        struct stat st;
        if (::fstat(fd.get(), &st) != 0)
            return Failure("cannot examine", name, errno);
        if (S_ISDIR(st.st_mode))
            return Failure("cannot open", name, EISDIR);
        if (!S_ISREG(st.st_mode))
            return NotAFile("cannot open", name);
        const int flags = ::fcntl(fd.get(), F_GETFL);
        if (flags >= 0)
            ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
        file->reset(new PosixReadableFile(handle_, name, fd.Take()));
        return Status::OK();
    }

    Status CreateNew(const std::string& name, std::unique_ptr<WritableFile>* file) override {
        FileDescriptor fd(
            ::openat(dir(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, kPrivate));
        if (fd.get() < 0)
            return Failure("cannot create", name, errno);
        GiveToFolderOwner(fd.get());
        // A file system may hand out more than was asked for (a default
        // mask); what it keeps of a narrower mode, it gets.
        struct stat st;
        if (::fstat(fd.get(), &st) == 0 && (st.st_mode & 077) != 0)
            (void)::fchmod(fd.get(), kPrivate);
        file->reset(new PosixWritableFile(handle_, name, fd.Take()));
        return Status::OK();
    }

    Status GetFileKind(const std::string& name, FileKind* kind) override {
        struct stat st;
        if (::fstatat(dir(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                *kind = FileKind::kMissing;
                return Status::OK();
            }
            return Failure("cannot examine", name, errno);
        }
        if (S_ISREG(st.st_mode))
            *kind = FileKind::kFile;
        else if (S_ISDIR(st.st_mode))
            *kind = FileKind::kDirectory;
        else if (S_ISLNK(st.st_mode))
            *kind = FileKind::kLink;
        else
            *kind = FileKind::kOther;
        return Status::OK();
    }

    Status GetFileSize(const std::string& name, uint64_t* size) override {
        struct stat st;
        if (::fstatat(dir(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Failure("cannot examine", name, errno);
        *size = static_cast<uint64_t>(st.st_size);
        return Status::OK();
    }

    Status ReadLink(const std::string& name, std::string* target) override {
        std::vector<char> buffer(256);
        for (;;) {
            ssize_t n = ::readlinkat(dir(), name.c_str(), buffer.data(), buffer.size());
            if (n < 0)
                return Failure("cannot read the link", name, errno);
            if (static_cast<size_t>(n) < buffer.size()) {
                target->assign(buffer.data(), static_cast<size_t>(n));
                return Status::OK();
            }
            buffer.resize(buffer.size() * 2);
        }
    }

    Status CreateDir(const std::string& name) override {
        if (::mkdirat(dir(), name.c_str(), 0777) != 0)
            return Failure("cannot create folder", name, errno);
        return Status::OK();
    }

    Status OpenFolder(const std::string& name, std::unique_ptr<Folder>* folder) override {
        const int fd = ::openat(dir(), name.c_str(), O_RDONLY | O_DIRECTORY | kOpenFlags);
        if (fd < 0)
            return OpenFailure("cannot open folder", name, errno);
        folder->reset(
            new PosixFolder(std::make_shared<const FolderHandle>(fd, handle_->PathOf(name))));
        (*folder)->SetTempNameForm(tempNameForm());
        return Status::OK();
    }

    Status List(std::vector<std::string>* names) override {
        names->clear();
        // A descriptor of its own: reading a folder moves its position.
        const int fd = ::openat(dir(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* folder = fd < 0 ? nullptr : ::fdopendir(fd);
        if (folder == nullptr) {
            const int err = errno;
            if (fd >= 0)
                ::close(fd);
            return Failure("cannot list folder", "", err);
        }
        std::unique_ptr<DIR, int (*)(DIR*)> closer(folder, ::closedir);
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(folder);
            if (entry == nullptr)
                break;
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names->push_back(name);
        }
        if (errno != 0)
            return Failure("cannot list folder", "", errno);
        return Status::OK();
    }

    Status RenameFile(const std::string& from, const std::string& to) override {
        if (::renameat(dir(), from.c_str(), dir(), to.c_str()) != 0)
            return RenameFailure(from, to, "", errno);
        return Status::OK();
    }

    Status RenameNoReplace(const std::string& from, const std::string& to) override {
        if (::renameat2(dir(), from.c_str(), dir(), to.c_str(), RENAME_NOREPLACE) == 0)
            return Status::OK();
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
            return RenameFailure(from, to, "", errno);
        // The file system cannot refuse to replace in the rename itself (FAT,
        // exFAT, NTFS through FUSE): the name is checked free, then renamed
        // to, then the result checked. No conversion can make a file in
        // between: the folder's lock keeps them out.
        const char* const how =
            " (this file system cannot rename without replacing, so the "
            "name was checked free first)";
        struct stat before, after;
        if (::fstatat(dir(), from.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0)
            return RenameFailure(from, to, how, errno);
        if (::fstatat(dir(), to.c_str(), &after, AT_SYMLINK_NOFOLLOW) == 0)
            return RenameFailure(from, to, "", EEXIST);
        if (errno != ENOENT)
            return Failure("cannot examine", to, errno);
        if (::renameat(dir(), from.c_str(), dir(), to.c_str()) != 0)
            return RenameFailure(from, to, how, errno);
        if (::fstatat(dir(), to.c_str(), &after, AT_SYMLINK_NOFOLLOW) != 0)
            return Failure("cannot examine", to, errno);
        if (after.st_dev != before.st_dev || after.st_ino != before.st_ino)
            return Status::Make(StatusCode::kIoError,
                                "renamed " + Quoted(PathOf(from)) + " to " + Quoted(PathOf(to)) +
                                    ", but another file stands there now",
                                PathOf(to));
        return Status::OK();
    }

    Status RemoveFile(const std::string& name) override {
        if (::unlinkat(dir(), name.c_str(), 0) != 0)
            return Failure("cannot delete", name, errno);
        return Status::OK();
    }

    Status GetOwnership(const std::string& name, FileOwnership* ownership) override {
        *ownership = FileOwnership();
        FileDescriptor fd(::openat(dir(), name.c_str(), O_RDONLY | kOpenFlags));
        struct stat st;
        if (fd.get() >= 0) {
            if (::fstat(fd.get(), &st) != 0)
                return Failure("cannot examine", name, errno);
        } else if (errno != EACCES ||
                   ::fstatat(dir(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // (A file its owner may not read keeps its attributes to
            // itself; the rest is known all the same.)
            return OpenFailure("cannot examine", name, errno);
        }
        if (!S_ISREG(st.st_mode))
            return NotAFile("cannot examine", name);
        ownership->known = true;
        ownership->mode = st.st_mode & 07777;
        ownership->owner = st.st_uid;
        ownership->group = st.st_gid;
        if (fd.get() >= 0)
            return ReadAttributes(fd.get(), name, &ownership->attributes);
        return Status::OK();
    }

    Status SetOwnership(const std::string& name, const FileOwnership& ownership) override {
        if (!ownership.known)
            return Status::OK();
        FileDescriptor fd(::openat(dir(), name.c_str(), O_RDONLY | kOpenFlags));
        if (fd.get() < 0)
            return OpenFailure("cannot change the permissions of", name, errno);
        struct stat st;
        if (::fstat(fd.get(), &st) != 0)
            return Failure("cannot examine", name, errno);
        if (!S_ISREG(st.st_mode))
            return NotAFile("cannot change the permissions of", name);
        // Each step is tried: a file system that refuses one (exFAT: an
        // owner; FAT: permission bits) may keep another. The first refusal
        // is told at the end; any other failure at once.
        Status refused;
        auto step = [&](int result, const char* what) {
            if (result == 0)
                return Status::OK();
            const int err = errno;
            Status failure = Failure(what, name, err);
            if (!IsRefusal(err))
                return failure;
            if (refused.ok())
                refused = failure;
            return Status::OK();
        };
        Status status;
        // Only the super-user can give a file away; anyone else keeps what
        // they make, as any program of theirs would.
        if (st.st_uid != ownership.owner || st.st_gid != ownership.group) {
            const int result = ::fchown(fd.get(), static_cast<uid_t>(ownership.owner),
                                        static_cast<gid_t>(ownership.group));
            if (!(result != 0 && errno == EPERM && ::geteuid() != 0) &&
                !(status = step(result, "cannot change the owner of")).ok())
                return status;
        }
        for (const FileAttribute& attribute : ownership.attributes) {
            const int result = ::fsetxattr(fd.get(), attribute.name.c_str(), attribute.value.data(),
                                           attribute.value.size(), 0);
            if (!(status = step(result, "cannot copy the extended attributes to")).ok())
                return status;
        }
        // Last: changing the owner may clear the set-id bits, and an access
        // control list carries permission bits of its own.
        status = step(::fchmod(fd.get(), static_cast<mode_t>(ownership.mode)),
                      "cannot change the permissions of");
        return status.ok() ? refused : status;
    }

    Status Sync() override {
        if (::fsync(dir()) != 0 && errno != EINVAL && errno != EROFS)
            return Failure("cannot flush folder", "", errno);
        return Status::OK();
    }

    // The lock is on the folder itself: nothing is created in it, and the
    // system lets it go with the process.
    Status Lock(const std::string& /*lockName*/, std::unique_ptr<FolderLock>* lock,
                LockHolder* holder) override {
        return LockFolder(LOCK_EX, lock, holder);
    }

    // Shared: runs that only read go together, and none goes while a run
    // that changes the folder holds it.
    Status LockToRead(const std::string& /*lockName*/, std::unique_ptr<FolderLock>* lock,
                      LockHolder* holder) override {
        return LockFolder(LOCK_SH, lock, holder);
    }

  private:
    int dir() const { return handle_->fd(); }

    // `how`: LOCK_EX or LOCK_SH. A lock held the other way is busy, and its
    // holder is named where the system tells.
    Status LockFolder(int how, std::unique_ptr<FolderLock>* lock, LockHolder* holder) {
        const int fd = ::openat(dir(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return Failure("cannot open folder", "", errno);
        auto held = std::make_unique<PosixFolderLock>(fd);
        while (::flock(fd, how | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            if (err == EWOULDBLOCK)
                *holder = FindLockHolder(fd);
            return Failure("cannot lock folder", "", err);  // EWOULDBLOCK: busy
        }
        *lock = std::move(held);
        return Status::OK();
    }

    // The folder itself when `name` is empty.
    Status Failure(const std::string& what, const std::string& name, int err) {
        return Status::FromErrno(what, name.empty() ? Location() : PathOf(name), err);
    }
    // A link is not followed: opening one fails as ELOOP, which says nothing
    // a user would understand.
    Status OpenFailure(const std::string& what, const std::string& name, int err) {
        struct stat st;
        if (err == ELOOP && ::fstatat(dir(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode)) {
            const std::string path = PathOf(name);
            return Status::Make(
                StatusCode::kExists,
                what + " " + Quoted(path) + ": it is a symbolic link, which is not followed", path,
                err, "a symbolic link");
        }
        return Failure(what, name, err);
    }
    Status NotAFile(const std::string& what, const std::string& name) {
        const std::string path = PathOf(name);
        return Status::Make(StatusCode::kExists, what + " " + Quoted(path) + ": not a regular file",
                            path);
    }
    Status RenameFailure(const std::string& from, const std::string& to, const char* how, int err) {
        const std::string path = PathOf(to);
        const Status status =
            Status::FromErrno("cannot rename " + Quoted(PathOf(from)) + " to", path, err);
        if (*how == '\0')
            return status;
        return Status::Make(status.code(),
                            "cannot rename " + Quoted(PathOf(from)) + " to " + Quoted(path) + how +
                                ": " + status.systemText(),
                            path, status.systemCode(), status.systemText());
    }

    Status ReadAttributes(int fd, const std::string& name, std::vector<FileAttribute>* attributes) {
        attributes->clear();
        std::vector<char> names(1024);
        ssize_t size;
        while ((size = ::flistxattr(fd, names.data(), names.size())) < 0 && errno == ERANGE)
            names.resize(names.size() * 4);
        if (size < 0)
            return IsRefusal(errno)
                       ? Status::OK()  // a file system without them
                       : Failure("cannot read the extended attributes of", name, errno);
        for (ssize_t at = 0; at < size;) {
            FileAttribute attribute;
            attribute.name = names.data() + at;
            at += static_cast<ssize_t>(attribute.name.size()) + 1;
            std::vector<char> value(256);
            ssize_t length;
            while ((length = ::fgetxattr(fd, attribute.name.c_str(), value.data(), value.size())) <
                       0 &&
                   errno == ERANGE)
                value.resize(value.size() * 4);
            if (length < 0) {
                if (errno == ENODATA || IsRefusal(errno))
                    continue;  // gone meanwhile, or not ours to read
                return Failure("cannot read the extended attributes of", name, errno);
            }
            attribute.value.assign(value.data(), static_cast<size_t>(length));
            attributes->push_back(std::move(attribute));
        }
        return Status::OK();
    }

    // A new file belongs to the owner of its folder, even when the super-user
    // makes it there: otherwise the folder's owner could not open the journal.
    void GiveToFolderOwner(int fd) {
        if (::geteuid() != 0)
            return;
        struct stat folder;
        if (::fstat(dir(), &folder) == 0 && folder.st_uid != 0)
            (void)::fchown(fd, folder.st_uid, folder.st_gid);
    }

    SharedHandle handle_;
};

class PosixEnv : public Env {
  public:
    Status OpenFolder(const std::string& path, std::unique_ptr<Folder>* folder) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return Status::FromErrno("cannot open folder", path, errno);
        // Named by where it is, which only the descriptor tells for sure.
        std::string where = path;
        if (!DescriptorPath(fd, path, &where).ok() && path[0] != '/') {
            std::vector<char> buffer(4096);
            if (::getcwd(buffer.data(), buffer.size()) != nullptr)
                where = path == "." ? buffer.data() : JoinPath(buffer.data(), path);
        }
        folder->reset(new PosixFolder(std::make_shared<const FolderHandle>(fd, where)));
        return Status::OK();
    }
};

}  // namespace

const char kPathSeparator = '/';
const char kPathSeparators[] = "/";

Env& Env::Real() {
    static PosixEnv env;
    return env;
}

}  // namespace platform
