// The real file system, through POSIX calls. A Windows build puts its own
// implementation of Env beside this one.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/Env.h"

namespace platform {
namespace {

// New files may hold the deciphered journal: only their owner may read them
// until they take the place (and the permissions) of the file they replace.
constexpr mode_t kPrivate = 0600;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Release(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
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

class PosixEnv : public Env {
  public:
    Status OpenForRead(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Status::FromErrno("cannot open", path, errno);
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            return Status::FromErrno("cannot open", path, EISDIR);
        }
        file->reset(new PosixReadableFile(path, fd));
        return Status::OK();
    }

    Status OpenForWrite(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivate);
        if (fd < 0)
            return Status::FromErrno("cannot create", path, errno);
        file->reset(new PosixWritableFile(path, fd));
        return Status::OK();
    }

    Status GetFileKind(const std::string& path, FileKind* kind) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) {
                *kind = FileKind::kMissing;
                return Status::OK();
            }
            return Status::FromErrno("cannot examine", path, errno);
        }
        *kind = S_ISDIR(st.st_mode) ? FileKind::kDirectory : FileKind::kFile;
        return Status::OK();
    }

    Status CreateDirectory(const std::string& path) override {
        if (::mkdir(path.c_str(), 0777) != 0)
            return Status::FromErrno("cannot create folder", path, errno);
        return Status::OK();
    }

    Status CopyFile(const std::string& from, const std::string& to) override {
        FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
        if (in.get() < 0)
            return Status::FromErrno("cannot open", from, errno);
        const std::string temp = to + ".tmp";
        FileDescriptor out(
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivate));
        if (out.get() < 0)
            return Status::FromErrno("cannot create", temp, errno);
        Status status = CopyContents(in.get(), from, out.get(), temp);
        struct stat source;
        if (status.ok() && ::fstat(in.get(), &source) == 0)
            ::fchmod(out.get(), source.st_mode & 07777);  // a copy keeps the permissions
        if (status.ok() && ::fsync(out.get()) != 0 && errno != EINVAL && errno != EROFS)
            status = Status::FromErrno("cannot flush", temp, errno);
        if (out.Release() != 0 && status.ok())
            status = Status::FromErrno("cannot close", temp, errno);
        if (status.ok() && ::rename(temp.c_str(), to.c_str()) != 0)
            status = Status::FromErrno("cannot replace", to, errno);
        if (!status.ok())
            ::unlink(temp.c_str());
        return status;
    }

    Status RenameFile(const std::string& from, const std::string& to) override {
        // A file that replaces another takes its permissions, so a private
        // journal stays private and a shared one stays readable.
        struct stat replaced;
        if (::stat(to.c_str(), &replaced) == 0)
            ::chmod(from.c_str(), replaced.st_mode & 07777);
        if (::rename(from.c_str(), to.c_str()) != 0)
            return Status::FromErrno("cannot rename \"" + from + "\" to", to, errno);
        return Status::OK();
    }

    Status RemoveFile(const std::string& path) override {
        if (::unlink(path.c_str()) != 0)
            return Status::FromErrno("cannot delete", path, errno);
        return Status::OK();
    }

    Status GetCurrentDirectory(std::string* path) override {
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
    static Status CopyContents(int in, const std::string& from, int out, const std::string& to) {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            ssize_t r = ::read(in, buffer.data(), buffer.size());
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                return Status::FromErrno("cannot read", from, errno);
            }
            if (r == 0)
                return Status::OK();
            for (ssize_t done = 0; done < r;) {
                ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(r - done));
                if (w < 0) {
                    if (errno == EINTR)
                        continue;
                    return Status::FromErrno("cannot write", to, errno);
                }
                done += w;
            }
        }
    }
};

}  // namespace

const char kPathSeparator = '/';

Env& Env::Real() {
    static PosixEnv env;
    return env;
}

}  // namespace platform
