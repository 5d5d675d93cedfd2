// The real file system, through the Win32 wide-character API: any Unicode
// name, and paths longer than the plain API's 260 characters.
//
// Windows has no permission bits: a new file takes the access the folder
// passes on to what is made in it, and "private" means just that.
#include <windows.h>
// after windows.h, which it needs
#include <winioctl.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/os/Env.h"
#include "platform/os/windows/WindowsText.h"

namespace platform {
namespace {

class Handle {
  public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() { Release(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Hands the handle over without closing it.
    HANDLE Take() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
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

class FindHandle {
  public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

// As elsewhere, a file may be read by others, renamed or deleted while it is
// open; only its writer writes to it.
constexpr DWORD kShareForReading = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kShareForWriting = FILE_SHARE_READ | FILE_SHARE_DELETE;

// The lock file: made by the run that holds the folder, shared with nobody,
// and gone with the handle, which the system closes when the process ends.
const char kLockName[] = "convert1_1to2_0.lock";

Status LastError(const std::string& what, const std::string& path) {
    return WindowsError(what, path, GetLastError());
}

bool Exists(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

std::string RandomCharacters(size_t n) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
    std::string text;
    for (size_t i = 0; i < n; ++i)
        text.push_back(kAlphabet[pick(device)]);
    return text;
}

HANDLE CreateExclusively(const std::string& path) {
    return CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, kShareForWriting, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Symbolic links and junctions stand for another name; other reparse
// points (files kept in the cloud, deduplicated files) are the files
// themselves.
bool IsNameSurrogate(const std::string& path) {
    WIN32_FIND_DATAW found;
    FindHandle find(FindFirstFileW(WidePath(path).c_str(), &found));
    return find.get() != INVALID_HANDLE_VALUE &&
           (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           IsReparseTagNameSurrogate(found.dwReserved0);
}

// What FSCTL_GET_REPARSE_POINT gives for a link (the user-mode headers
// leave it out).
struct LinkData {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteOffset;
    USHORT substituteLength;
    USHORT printOffset;
    USHORT printLength;
};

class WindowsReadableFile : public ReadableFile {
  public:
    WindowsReadableFile(std::string path, HANDLE file) : path_(std::move(path)), file_(file) {}
    Status Read(void* buffer, size_t n, size_t* got) override {
        *got = 0;
        const DWORD want = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
        DWORD read = 0;
        if (!ReadFile(file_.get(), buffer, want, &read, nullptr))
            return LastError("cannot read", path_);
        *got = read;
        return Status::OK();
    }
    Status Close() override {
        if (!file_.Release())
            return LastError("cannot close", path_);
        return Status::OK();
    }

  private:
    std::string path_;
    Handle file_;
};

class WindowsWritableFile : public WritableFile {
  public:
    WindowsWritableFile(std::string path, HANDLE file) : path_(std::move(path)), file_(file) {}
    Status Write(const void* data, size_t n) override {
        const char* p = static_cast<const char*>(data);
        while (n > 0) {
            const DWORD want = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
            DWORD written = 0;
            if (!WriteFile(file_.get(), p, want, &written, nullptr))
                return LastError("cannot write", path_);
            p += written;
            n -= written;
        }
        return Status::OK();
    }
    Status Flush() override {
        if (!FlushFileBuffers(file_.get()))
            return LastError("cannot flush", path_);
        return Status::OK();
    }
    Status Close() override {
        if (!file_.Release())
            return LastError("cannot close", path_);
        return Status::OK();
    }

  private:
    std::string path_;
    Handle file_;
};

class WindowsFolderLock : public FolderLock {
  public:
    explicit WindowsFolderLock(HANDLE file) : file_(file) {}

  private:
    Handle file_;  // closing it lets the lock go and deletes the file
};

class WindowsEnv : public Env {
  public:
    Status OpenForRead(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        // A folder cannot be opened this way: that fails as "access denied".
        Handle handle(CreateFileW(WidePath(path).c_str(), GENERIC_READ, kShareForReading, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!handle.valid())
            return LastError("cannot open", path);
        if (GetFileType(handle.get()) != FILE_TYPE_DISK)
            return Status::Error("cannot open \"" + path + "\": not a regular file");
        file->reset(new WindowsReadableFile(path, handle.Take()));
        return Status::OK();
    }

    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        HANDLE handle = CreateExclusively(path);
        if (handle == INVALID_HANDLE_VALUE)
            return LastError("cannot create", path);
        file->reset(new WindowsWritableFile(path, handle));
        return Status::OK();
    }

    // (<windows.h> makes "near" a word of its own.)
    Status CreateTemp(const std::string& beside, std::string* path,
                      std::unique_ptr<WritableFile>* file) override {
        for (int attempt = 0;; ++attempt) {
            *path = beside + "." + RandomCharacters(kTempNameRandomLength) + ".tmp";
            HANDLE handle = CreateExclusively(*path);
            if (handle != INVALID_HANDLE_VALUE) {
                file->reset(new WindowsWritableFile(*path, handle));
                return Status::OK();
            }
            const DWORD error = GetLastError();
            if (!Exists(error) || attempt == 100)
                return WindowsError("cannot create a temporary file for", beside, error);
        }
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
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsNameSurrogate(path))
            *kind = FileKind::kLink;
        else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            *kind = FileKind::kDirectory;
        else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0)
            *kind = FileKind::kOther;
        else
            *kind = FileKind::kFile;
        return Status::OK();
    }

    Status GetFileSize(const std::string& path, uint64_t* size) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data))
            return WindowsError("cannot examine", path, GetLastError());
        *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return Status::OK();
    }

    Status ReadLink(const std::string& path, std::string* target) override {
        Handle link(CreateFileW(
            WidePath(path).c_str(), FILE_READ_ATTRIBUTES, kShareForReading, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!link.valid())
            return LastError("cannot read the link", path);
        std::vector<BYTE> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
        DWORD size = 0;
        if (!DeviceIoControl(link.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &size, nullptr))
            return LastError("cannot read the link", path);
        LinkData data;
        if (size < sizeof data)
            return Status::Error("cannot read the link \"" + path + "\": not a link");
        std::memcpy(&data, buffer.data(), sizeof data);
        // A symbolic link has a flags word before its names; a junction not.
        size_t names = sizeof data;
        if (data.tag == IO_REPARSE_TAG_SYMLINK)
            names += sizeof(ULONG);
        else if (data.tag != IO_REPARSE_TAG_MOUNT_POINT)
            return Status::Error("cannot read the link \"" + path + "\": not a link");
        const bool printed = data.printLength != 0;
        const size_t offset = names + (printed ? data.printOffset : data.substituteOffset);
        const size_t length = printed ? data.printLength : data.substituteLength;
        if (offset + length > size)
            return Status::Error("cannot read the link \"" + path + "\": damaged");
        std::wstring text(length / sizeof(wchar_t), L'\0');
        std::memcpy(&text[0], buffer.data() + offset, text.size() * sizeof(wchar_t));
        *target = PathFromWide(text);
        return Status::OK();
    }

    Status CreateDir(const std::string& path) override {
        if (!CreateDirectoryW(WidePath(path).c_str(), nullptr))
            return LastError("cannot create folder", path);
        return Status::OK();
    }

    Status ListDir(const std::string& path, std::vector<std::string>* names) override {
        names->clear();
        WIN32_FIND_DATAW found;
        FindHandle find(FindFirstFileW(WidePath(JoinPath(path, "*")).c_str(), &found));
        if (find.get() == INVALID_HANDLE_VALUE)
            return LastError("cannot list folder", path);
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                names->push_back(PathFromWide(name));
        } while (FindNextFileW(find.get(), &found));
        if (GetLastError() != ERROR_NO_MORE_FILES)
            return LastError("cannot list folder", path);
        return Status::OK();
    }

    // Both renames return only once the new name is on disk.
    Status RenameFile(const std::string& from, const std::string& to) override {
        if (!MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return LastError("cannot rename \"" + from + "\" to", to);
        return Status::OK();
    }

    Status RenameNoReplace(const std::string& from, const std::string& to, bool* exists) override {
        *exists = false;
        if (!MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = GetLastError();
            *exists = Exists(error);
            return WindowsError("cannot rename \"" + from + "\" to", to, error);
        }
        return Status::OK();
    }

    Status RemoveFile(const std::string& path) override {
        if (!DeleteFileW(WidePath(path).c_str()))
            return LastError("cannot delete", path);
        return Status::OK();
    }

    // No permission bits and no owner to pass on (see the top of the file).
    Status GetOwnership(const std::string& path, FileOwnership* ownership) override {
        if (GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES)
            return LastError("cannot examine", path);
        *ownership = FileOwnership();
        return Status::OK();
    }

    Status SetOwnership(const std::string& path, const FileOwnership& ownership) override {
        if (ownership.known &&
            GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES)
            return LastError("cannot examine", path);
        return Status::OK();
    }

    Status SyncDir(const std::string& path) override {
        // Where the system does not let a folder be flushed, the renames,
        // written through, are on disk already.
        Handle folder(CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  kShareForReading, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder.valid()) {
            const DWORD error = GetLastError();
            return error == ERROR_ACCESS_DENIED ? Status::OK()
                                                : WindowsError("cannot open folder", path, error);
        }
        if (!FlushFileBuffers(folder.get())) {
            const DWORD error = GetLastError();
            if (error != ERROR_INVALID_FUNCTION && error != ERROR_ACCESS_DENIED &&
                error != ERROR_INVALID_PARAMETER)
                return WindowsError("cannot flush folder", path, error);
        }
        return Status::OK();
    }

    Status LockDir(const std::string& path, std::unique_ptr<FolderLock>* lock,
                   bool* busy) override {
        *busy = false;
        const std::string lockPath = JoinPath(path, kLockName);
        HANDLE file =
            CreateFileW(WidePath(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // Open in another run, or deleted by one that is just ending.
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) {
                *busy = error == ERROR_SHARING_VIOLATION || LockFileIsThere(lockPath);
                if (*busy)
                    return Status::Error("another conversion is running in the folder \"" + path +
                                         "\"");
            }
            return WindowsError("cannot lock folder", path, error);
        }
        lock->reset(new WindowsFolderLock(file));
        return Status::OK();
    }

    Status GetCurrentDir(std::string* path) override {
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), &buffer[0]);
            if (n == 0)
                return LastError("cannot find", "current folder");
            if (n < buffer.size()) {
                buffer.resize(n);
                break;
            }
            buffer.resize(n);  // n counts the terminating zero here
        }
        *path = PathFromWide(buffer);
        return Status::OK();
    }

  private:
    static bool LockFileIsThere(const std::string& lockPath) {
        return GetFileAttributesW(WidePath(lockPath).c_str()) != INVALID_FILE_ATTRIBUTES ||
               GetLastError() == ERROR_ACCESS_DENIED;
    }
};

}  // namespace

const char kPathSeparator = '\\';

Env& Env::Real() {
    static WindowsEnv env;
    return env;
}

}  // namespace platform
