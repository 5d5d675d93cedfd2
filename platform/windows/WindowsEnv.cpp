// The real file system, through the Win32 wide-character API: any Unicode
// name, and paths longer than the plain API's 260 characters.
#include <windows.h>

// Env's operations share their names with the API's narrow/wide macros.
#undef CreateDirectory
#undef CopyFile
#undef GetCurrentDirectory

#include <vector>

#include "platform/Env.h"
#include "platform/windows/WindowsText.h"

namespace platform {
namespace {

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Release(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes; false (with the error in GetLastError) when that fails.
    bool Release() {
        bool closed = true;
        if (handle_ != INVALID_HANDLE_VALUE)
            closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

  private:
    HANDLE handle_;
};

// Others may read, and the file may be renamed or deleted while open, as
// elsewhere; nobody else may write to it meanwhile.
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_DELETE;

HANDLE OpenExisting(const std::string& path) {
    return CreateFileW(WidePath(path).c_str(), GENERIC_READ, kShare | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

HANDLE CreateTruncated(const std::string& path) {
    return CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, kShare, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

Status ReadSome(HANDLE file, const std::string& path, void* buffer, size_t n, size_t* got) {
    *got = 0;
    const DWORD want = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
    DWORD read = 0;
    if (!ReadFile(file, buffer, want, &read, nullptr))
        return WindowsError("cannot read", path, GetLastError());
    *got = read;
    return Status::OK();
}

Status WriteAll(HANDLE file, const std::string& path, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const DWORD want = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, p, want, &written, nullptr))
            return WindowsError("cannot write", path, GetLastError());
        p += written;
        n -= written;
    }
    return Status::OK();
}

Status FlushToDisk(HANDLE file, const std::string& path) {
    if (!FlushFileBuffers(file))
        return WindowsError("cannot flush", path, GetLastError());
    return Status::OK();
}

Status Close(FileHandle& file, const std::string& path) {
    if (!file.Release())
        return WindowsError("cannot close", path, GetLastError());
    return Status::OK();
}

// Replaces `to` atomically when it exists, and does not return before the
// new name is on disk.
Status Replace(const std::string& from, const std::string& to) {
    if (!MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return WindowsError("cannot rename \"" + from + "\" to", to, GetLastError());
    }
    return Status::OK();
}

class WindowsReadableFile : public ReadableFile {
  public:
    WindowsReadableFile(std::string path, HANDLE file) : path_(std::move(path)), file_(file) {}
    Status Read(void* buffer, size_t n, size_t* got) override {
        return ReadSome(file_.get(), path_, buffer, n, got);
    }
    Status Close() override { return platform::Close(file_, path_); }

  private:
    std::string path_;
    FileHandle file_;
};

class WindowsWritableFile : public WritableFile {
  public:
    WindowsWritableFile(std::string path, HANDLE file) : path_(std::move(path)), file_(file) {}
    Status Write(const void* data, size_t n) override {
        return WriteAll(file_.get(), path_, data, n);
    }
    Status Flush() override { return FlushToDisk(file_.get(), path_); }
    Status Close() override { return platform::Close(file_, path_); }

  private:
    std::string path_;
    FileHandle file_;
};

class WindowsEnv : public Env {
  public:
    Status OpenForRead(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        // A folder cannot be opened this way: that fails as "access denied".
        HANDLE handle = OpenExisting(path);
        if (handle == INVALID_HANDLE_VALUE)
            return WindowsError("cannot open", path, GetLastError());
        file->reset(new WindowsReadableFile(path, handle));
        return Status::OK();
    }

    Status OpenForWrite(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        HANDLE handle = CreateTruncated(path);
        if (handle == INVALID_HANDLE_VALUE)
            return WindowsError("cannot create", path, GetLastError());
        file->reset(new WindowsWritableFile(path, handle));
        return Status::OK();
    }

    Status GetFileKind(const std::string& path, FileKind* kind) override {
        const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                *kind = FileKind::kMissing;
                return Status::OK();
            }
            return WindowsError("cannot examine", path, error);
        }
        *kind =
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory : FileKind::kFile;
        return Status::OK();
    }

    Status CreateDirectory(const std::string& path) override {
        if (!CreateDirectoryW(WidePath(path).c_str(), nullptr))
            return WindowsError("cannot create folder", path, GetLastError());
        return Status::OK();
    }

    Status CopyFile(const std::string& from, const std::string& to) override {
        FileHandle in(OpenExisting(from));
        if (!in.valid())
            return WindowsError("cannot open", from, GetLastError());
        const std::string temp = to + ".tmp";
        FileHandle out(CreateTruncated(temp));
        if (!out.valid())
            return WindowsError("cannot create", temp, GetLastError());
        std::vector<char> buffer(1 << 16);
        Status status;
        for (;;) {
            size_t got = 0;
            status = ReadSome(in.get(), from, buffer.data(), buffer.size(), &got);
            if (!status.ok() || got == 0)
                break;
            status = WriteAll(out.get(), temp, buffer.data(), got);
            if (!status.ok())
                break;
        }
        if (status.ok())
            status = FlushToDisk(out.get(), temp);
        const Status closed = Close(out, temp);
        if (status.ok())
            status = closed;
        if (status.ok())
            status = Replace(temp, to);
        if (!status.ok())
            DeleteFileW(WidePath(temp).c_str());
        return status;
    }

    Status RenameFile(const std::string& from, const std::string& to) override {
        return Replace(from, to);
    }

    Status RemoveFile(const std::string& path) override {
        if (!DeleteFileW(WidePath(path).c_str()))
            return WindowsError("cannot delete", path, GetLastError());
        return Status::OK();
    }

    Status GetCurrentDirectory(std::string* path) override {
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), &buffer[0]);
            if (n == 0)
                return WindowsError("cannot find", "current folder", GetLastError());
            if (n < buffer.size()) {
                buffer.resize(n);
                break;
            }
            buffer.resize(n);  // n counts the terminating zero here
        }
        *path = PathFromWide(buffer);
        return Status::OK();
    }
};

}  // namespace

const char kPathSeparator = '\\';

Env& Env::Real() {
    static WindowsEnv env;
    return env;
}

}  // namespace platform
