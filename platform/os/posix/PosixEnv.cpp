// The real file system, through POSIX calls.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/os/Env.h"

namespace platform {
namespace {

// New files may hold the deciphered journal: only their owner may read them
// until they take the place (and the permissions) of the file they replace.
constexpr mode_t kPrivate = 0600;

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

class PosixReadableFile : public ReadableFile {
  public:
    PosixReadableFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    Status Read(void* buffer, size_t n, size_t* got) override {
        *got = 0;
        for (;;) {
            ssize_t r = ::read(fd_.get(), buffer, n);
            if (r >= 0) {
                *got = static_cast<size_t>(r);
                return Status::OK();
            }
            if (errno != EINTR)
                return Status::FromErrno("cannot read", path_, errno);
        }
    }
    Status Close() override {
        if (fd_.Release() != 0)
            return Status::FromErrno("cannot close", path_, errno);
        return Status::OK();
    }

  private:
    std::string path_;
    FileDescriptor fd_;
};

class PosixWritableFile : public WritableFile {
  public:
    PosixWritableFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    Status Write(const void* data, size_t n) override {
        const char* p = static_cast<const char*>(data);
        while (n > 0) {
            ssize_t w = ::write(fd_.get(), p, n);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return Status::FromErrno("cannot write", path_, errno);
            }
            p += w;
            n -= static_cast<size_t>(w);
        }
        return Status::OK();
    }
    Status Flush() override {
        if (::fsync(fd_.get()) != 0 && errno != EINVAL && errno != EROFS)
            return Status::FromErrno("cannot flush", path_, errno);
        return Status::OK();
    }
    Status Close() override {
        if (fd_.Release() != 0)
            return Status::FromErrno("cannot close", path_, errno);
        return Status::OK();
    }

  private:
    std::string path_;
    FileDescriptor fd_;
};

class PosixFolderLock : public FolderLock {
  public:
    explicit PosixFolderLock(int fd) : fd_(fd) {}

  private:
    FileDescriptor fd_;  // closing it lets the lock go
};

class PosixEnv : public Env {
  public:
    Status OpenForRead(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        // Not blocking, so that a FIFO put in a file's place cannot hold the
        // run (with the journal deciphered) until someone writes to it.
        FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (fd.get() < 0)
            return Status::FromErrno("cannot open", path, errno);
        struct stat st;
        if (::fstat(fd.get(), &st) != 0)
            return Status::FromErrno("cannot examine", path, errno);
        if (S_ISDIR(st.st_mode))
            return Status::FromErrno("cannot open", path, EISDIR);
        if (!S_ISREG(st.st_mode))
            return Status::Make(StatusCode::kExists,
                                "cannot open " + Quoted(path) + ": not a regular file", path);
        const int flags = ::fcntl(fd.get(), F_GETFL);
        if (flags >= 0)
            ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
        file->reset(new PosixReadableFile(path, fd.Take()));
        return Status::OK();
    }

    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kPrivate);
        if (fd < 0)
            return Status::FromErrno("cannot create", path, errno);
        GiveToFolderOwner(fd, path);
        file->reset(new PosixWritableFile(path, fd));
        return Status::OK();
    }

    Status GetFileKind(const std::string& path, FileKind* kind) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) {
                *kind = FileKind::kMissing;
                return Status::OK();
            }
            return Status::FromErrno("cannot examine", path, errno);
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

    Status GetFileSize(const std::string& path, uint64_t* size) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            return Status::FromErrno("cannot examine", path, errno);
        *size = static_cast<uint64_t>(st.st_size);
        return Status::OK();
    }

    Status ReadLink(const std::string& path, std::string* target) override {
        std::vector<char> buffer(256);
        for (;;) {
            ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
            if (n < 0)
                return Status::FromErrno("cannot read the link", path, errno);
            if (static_cast<size_t>(n) < buffer.size()) {
                target->assign(buffer.data(), static_cast<size_t>(n));
                return Status::OK();
            }
            buffer.resize(buffer.size() * 2);
        }
    }

    Status CreateDir(const std::string& path) override {
        if (::mkdir(path.c_str(), 0777) != 0)
            return Status::FromErrno("cannot create folder", path, errno);
        return Status::OK();
    }

    Status ListDir(const std::string& path, std::vector<std::string>* names) override {
        names->clear();
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr)
            return Status::FromErrno("cannot list folder", path, errno);
        std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (entry == nullptr)
                break;
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names->push_back(name);
        }
        if (errno != 0)
            return Status::FromErrno("cannot list folder", path, errno);
        return Status::OK();
    }

    Status RenameFile(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            return Status::FromErrno("cannot rename " + Quoted(from) + " to", to, errno);
        return Status::OK();
    }

    Status RenameNoReplace(const std::string& from, const std::string& to) override {
        int result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system that cannot do it in one step: a second name
            // (which fails when the name is taken), then the first goes.
            result = ::link(from.c_str(), to.c_str());
            if (result == 0)
                ::unlink(from.c_str());
        }
        if (result != 0)
            return Status::FromErrno("cannot rename " + Quoted(from) + " to", to, errno);
        return Status::OK();
    }

    Status RemoveFile(const std::string& path) override {
        if (::unlink(path.c_str()) != 0)
            return Status::FromErrno("cannot delete", path, errno);
        return Status::OK();
    }

    Status GetOwnership(const std::string& path, FileOwnership* ownership) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            return Status::FromErrno("cannot examine", path, errno);
        ownership->known = true;
        ownership->mode = st.st_mode & 07777;
        ownership->owner = st.st_uid;
        ownership->group = st.st_gid;
        return Status::OK();
    }

    Status SetOwnership(const std::string& path, const FileOwnership& ownership) override {
        if (!ownership.known)
            return Status::OK();
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            return Status::FromErrno("cannot examine", path, errno);
        if (!S_ISREG(st.st_mode))
            return Status::Make(
                StatusCode::kExists,
                "cannot change the permissions of " + Quoted(path) + ": not a regular file", path);
        // Only the super-user can give a file away; anyone else keeps what
        // they make, as any program of theirs would.
        if ((st.st_uid != ownership.owner || st.st_gid != ownership.group) &&
            ::lchown(path.c_str(), static_cast<uid_t>(ownership.owner),
                     static_cast<gid_t>(ownership.group)) != 0 &&
            errno != EPERM) {
            return Status::FromErrno("cannot change the owner of", path, errno);
        }
        // After the owner: changing it may clear the set-id bits.
        if (::chmod(path.c_str(), static_cast<mode_t>(ownership.mode)) != 0)
            return Status::FromErrno("cannot change the permissions of", path, errno);
        return Status::OK();
    }

    Status SyncDir(const std::string& path) override {
        FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd.get() < 0)
            return Status::FromErrno("cannot open folder", path, errno);
        if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
            return Status::FromErrno("cannot flush folder", path, errno);
        return Status::OK();
    }

    Status LockDir(const std::string& path, const std::string& /*lockName*/,
                   std::unique_ptr<FolderLock>* lock) override {
        // The lock is on the folder itself: nothing is created in it, and the
        // system lets it go with the process.
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return Status::FromErrno("cannot open folder", path, errno);
        auto held = std::make_unique<PosixFolderLock>(fd);
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            return Status::FromErrno("cannot lock folder", path, errno);  // EWOULDBLOCK: busy
        }
        *lock = std::move(held);
        return Status::OK();
    }

    Status LockDirToRead(const std::string& path, const std::string& /*lockName*/,
                         std::unique_ptr<FolderLock>* lock) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return Status::FromErrno("cannot open folder", path, errno);
        auto held = std::make_unique<PosixFolderLock>(fd);
        while (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            return Status::FromErrno("cannot lock folder", path, errno);  // EWOULDBLOCK: busy
        }
        *lock = std::move(held);
        return Status::OK();
    }

    Status GetCurrentDir(std::string* path) override {
        std::vector<char> buffer(256);
        for (;;) {
            if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
                *path = buffer.data();
                return Status::OK();
            }
            if (errno != ERANGE)
                return Status::FromErrno("cannot find", "current folder", errno);
            buffer.resize(buffer.size() * 2);
        }
    }

  private:
    // A new file belongs to the owner of its folder, even when the super-user
    // makes it there: otherwise the folder's owner could not open the journal.
    static void GiveToFolderOwner(int fd, const std::string& path) {
        if (::geteuid() != 0)
            return;
        struct stat folder;
        if (::stat(FolderOf(path).c_str(), &folder) == 0 && folder.st_uid != 0)
            (void)::fchown(fd, folder.st_uid, folder.st_gid);
    }
};

}  // namespace

const char kPathSeparator = '/';

Env& Env::Real() {
    static PosixEnv env;
    return env;
}

}  // namespace platform
