// The real file system, through the Win32 wide-character API: any Unicode
// name, and paths longer than the plain API's 260 characters.
//
// Windows has no permission bits: a new file takes the access the folder
// passes on to what is made in it, and "private" means just that.
#include <windows.h>
// after windows.h, which it needs
#include <winioctl.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/os/Env.h"
#include "platform/os/windows/UniqueHandle.h"
#include "platform/os/windows/WindowsText.h"

namespace platform {
namespace {

// As elsewhere, a file may be read by others, renamed or deleted while it is
// open; only its writer writes to it.
constexpr DWORD kShareForReading = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kShareForWriting = FILE_SHARE_READ | FILE_SHARE_DELETE;

Status LastError(const std::string& what, const std::string& path) {
    return WindowsError(what, path, GetLastError());
}

// Symbolic links and junctions stand for another name; other reparse
// points (files kept in the cloud, deduplicated files) are the files
// themselves.
bool IsNameSurrogate(const std::string& path) {
    WIN32_FIND_DATAW found;
    FindHandle find(FindFirstFileW(WidePath(path).c_str(), &found));
    return find.valid() && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
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

Status NotALink(const std::string& path) {
    return Status::Make(StatusCode::kIoError,
                        "cannot read the link " + Quoted(path) + ": not a link", path);
}

class WindowsReadableFile : public ReadableFile {
  public:
    WindowsReadableFile(std::string path, KernelHandle file)
        : path_(std::move(path)), file_(std::move(file)) {}
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
        if (!file_.reset())
            return LastError("cannot close", path_);
        return Status::OK();
    }

  private:
    std::string path_;
    KernelHandle file_;
};

class WindowsWritableFile : public WritableFile {
  public:
    WindowsWritableFile(std::string path, KernelHandle file)
        : path_(std::move(path)), file_(std::move(file)) {}
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
        if (!file_.reset())
            return LastError("cannot close", path_);
        return Status::OK();
    }

  private:
    std::string path_;
    KernelHandle file_;
};

class WindowsFolderLock : public FolderLock {
  public:
    explicit WindowsFolderLock(KernelHandle file) : file_(std::move(file)) {}

  private:
    KernelHandle file_;  // closing it lets the lock go and deletes the file
};

// What the system calls the file or folder of `handle`: its full path with
// every link resolved, every short name spelt long, and the drive it is on
// (a substituted or a network drive is named as what it stands for).
Status FinalPath(HANDLE handle, const std::string& path, std::string* final) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetFinalPathNameByHandleW(handle, &buffer[0], static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return LastError("cannot find where the folder is", path);
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(n);  // n counts the terminating zero here
    }
    *final = PathFromWide(buffer);
    return Status::OK();
}

// A folder held open: by a handle that does not let the folder be deleted
// or renamed (no FILE_SHARE_DELETE), nor, while it is open, any folder above
// it (Windows refuses that; Wine 8 lets a folder above move). The path it
// was opened at therefore names it for as long as it is held, and every file
// of it is reached by that path and the file's name: the wide API takes no
// name relative to a handle.
class WindowsFolder : public Folder {
  public:
    // `final` is what FinalPath said of the folder when it was opened, or
    // empty when the system could not tell (a volume without a drive letter,
    // a share that hides a folder above): then the folder, held, is where it
    // was opened.
    WindowsFolder(std::string path, KernelHandle handle, std::string final)
        : Folder(std::move(path)), handle_(std::move(handle)), finalAtOpening_(std::move(final)) {}

    // The path the folder was opened at, for as long as the system calls the
    // folder what it called it then: another spelling of the same place (a
    // short name, a substituted drive) is no move. Only where the system
    // lets a held folder move after all is the new place told.
    Status Where(std::string* path) override {
        std::string now;
        if (!finalAtOpening_.empty()) {
            const Status status = FinalPath(handle_.get(), openedAt(), &now);
            if (!status.ok())
                return status;
        }
        *path = now.empty() || now == finalAtOpening_ ? openedAt() : now;
        return Status::OK();
    }

    Status OpenForRead(const std::string& name, std::unique_ptr<ReadableFile>* file) override {
        const std::string path = Here(name);
        // A folder cannot be opened this way: that fails as "access denied".
        // A link is opened as itself, and refused.
        KernelHandle handle(CreateFileW(
            WidePath(path).c_str(), GENERIC_READ, kShareForReading, nullptr, OPEN_EXISTING,
            FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!handle.valid())
            return LastError("cannot open", path);
        if (IsLink(handle.get()))
            return Status::Make(
                StatusCode::kExists,
                "cannot open " + Quoted(path) + ": it is a symbolic link, which is not followed",
                path);
        if (GetFileType(handle.get()) != FILE_TYPE_DISK)
            return Status::Make(StatusCode::kExists,
                                "cannot open " + Quoted(path) + ": not a regular file", path);
        file->reset(new WindowsReadableFile(path, std::move(handle)));
        return Status::OK();
    }

    // A name that is taken, by a link too, fails as ERROR_FILE_EXISTS:
    // StatusCode::kExists.
    Status CreateNew(const std::string& name, std::unique_ptr<WritableFile>* file) override {
        const std::string path = Here(name);
        KernelHandle handle(
            CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, kShareForWriting, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!handle.valid())
            return LastError("cannot create", path);
        file->reset(new WindowsWritableFile(path, std::move(handle)));
        return Status::OK();
    }

    Status GetFileKind(const std::string& name, FileKind* kind) override {
        const std::string path = Here(name);
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

    Status GetFileSize(const std::string& name, uint64_t* size) override {
        const std::string path = Here(name);
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data))
            return WindowsError("cannot examine", path, GetLastError());
        *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return Status::OK();
    }

    Status ReadLink(const std::string& name, std::string* target) override {
        const std::string path = Here(name);
        KernelHandle link(CreateFileW(
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
            return NotALink(path);
        std::memcpy(&data, buffer.data(), sizeof data);
        // A symbolic link has a flags word before its names; a junction not.
        size_t names = sizeof data;
        if (data.tag == IO_REPARSE_TAG_SYMLINK)
            names += sizeof(ULONG);
        else if (data.tag != IO_REPARSE_TAG_MOUNT_POINT)
            return NotALink(path);
        const bool printed = data.printLength != 0;
        const size_t offset = names + (printed ? data.printOffset : data.substituteOffset);
        const size_t length = printed ? data.printLength : data.substituteLength;
        if (offset + length > size)
            return Status::Make(StatusCode::kCorrupt,
                                "cannot read the link " + Quoted(path) + ": damaged", path);
        std::wstring text(length / sizeof(wchar_t), L'\0');
        std::memcpy(&text[0], buffer.data() + offset, text.size() * sizeof(wchar_t));
        *target = PathFromWide(text);
        return Status::OK();
    }

    Status CreateDir(const std::string& name) override {
        const std::string path = Here(name);
        if (!CreateDirectoryW(WidePath(path).c_str(), nullptr))
            return LastError("cannot create folder", path);
        return Status::OK();
    }

    Status OpenFolder(const std::string& name, std::unique_ptr<Folder>* folder) override {
        const std::string path = Here(name);
        KernelHandle handle;
        Status status = HoldFolder(path, FILE_FLAG_OPEN_REPARSE_POINT, &handle);
        if (!status.ok())
            return status;
        if (IsLink(handle.get()))
            return Status::Make(
                StatusCode::kExists,
                "cannot open folder " + Quoted(path) + ": it is a link, which is not followed",
                path);
        std::string final;
        FinalPath(handle.get(), path, &final);  // none: see WindowsFolder
        folder->reset(new WindowsFolder(path, std::move(handle), std::move(final)));
        (*folder)->SetTempNameForm(tempNameForm());
        return Status::OK();
    }

    Status List(std::vector<std::string>* names) override {
        names->clear();
        WIN32_FIND_DATAW found;
        FindHandle find(FindFirstFileW(WidePath(JoinPath(openedAt(), "*")).c_str(), &found));
        if (!find.valid())
            return LastError("cannot list folder", openedAt());
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                names->push_back(PathFromWide(name));
        } while (FindNextFileW(find.get(), &found));
        if (GetLastError() != ERROR_NO_MORE_FILES)
            return LastError("cannot list folder", openedAt());
        return Status::OK();
    }

    // Both renames return only once the new name is on disk.
    Status RenameFile(const std::string& from, const std::string& to) override {
        if (!MoveFileExW(WidePath(Here(from)).c_str(), WidePath(Here(to)).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return LastError("cannot rename " + Quoted(Here(from)) + " to", Here(to));
        return Status::OK();
    }

    // Another file or a folder at `to` fails as ERROR_ALREADY_EXISTS.
    Status RenameNoReplace(const std::string& from, const std::string& to) override {
        if (!MoveFileExW(WidePath(Here(from)).c_str(), WidePath(Here(to)).c_str(),
                         MOVEFILE_WRITE_THROUGH))
            return LastError("cannot rename " + Quoted(Here(from)) + " to", Here(to));
        return Status::OK();
    }

    Status RemoveFile(const std::string& name) override {
        const std::string path = Here(name);
        if (!DeleteFileW(WidePath(path).c_str()))
            return LastError("cannot delete", path);
        return Status::OK();
    }

    // No permission bits and no owner to pass on (see the top of the file).
    Status GetOwnership(const std::string& name, FileOwnership* ownership) override {
        const std::string path = Here(name);
        if (GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES)
            return LastError("cannot examine", path);
        *ownership = FileOwnership();
        return Status::OK();
    }

    Status SetOwnership(const std::string& name, const FileOwnership& ownership) override {
        const std::string path = Here(name);
        if (ownership.known &&
            GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES)
            return LastError("cannot examine", path);
        return Status::OK();
    }

    Status Sync() override {
        // Where the system does not let a folder be flushed, the renames,
        // written through, are on disk already.
        KernelHandle folder(CreateFileW(WidePath(openedAt()).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        kShareForReading, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder.valid()) {
            const DWORD error = GetLastError();
            return error == ERROR_ACCESS_DENIED
                       ? Status::OK()
                       : WindowsError("cannot open folder", openedAt(), error);
        }
        if (!FlushFileBuffers(folder.get())) {
            const DWORD error = GetLastError();
            if (error != ERROR_INVALID_FUNCTION && error != ERROR_ACCESS_DENIED &&
                error != ERROR_INVALID_PARAMETER)
                return WindowsError("cannot flush folder", openedAt(), error);
        }
        return Status::OK();
    }

    // The lock is a file made by the run that holds the folder, shared with
    // nobody, and gone with the handle, which the system closes when the
    // process ends. Only a run of this program makes it.
    Status Lock(const std::string& lockName, std::unique_ptr<FolderLock>* lock,
                LockHolder* holder) override {
        const std::string lockPath = Here(lockName);
        // A link there is not followed (its target would be deleted with the
        // lock), and a folder there is no other run.
        FileKind kind = FileKind::kMissing;
        const Status examined = GetFileKind(lockName, &kind);
        if (!examined.ok())
            return examined;
        if (kind != FileKind::kMissing && kind != FileKind::kFile)
            return Status::Make(StatusCode::kExists,
                                "cannot lock folder " + Quoted(openedAt()) + ": " +
                                    Quoted(lockPath) +
                                    " is in the way: this program locks the folder with a hidden "
                                    "file of that name; move it elsewhere",
                                lockPath);
        KernelHandle file(CreateFileW(
            WidePath(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
            nullptr));
        if (!file.valid()) {
            const DWORD error = GetLastError();
            // Open in another run, or deleted by one that is just ending.
            if (error == ERROR_SHARING_VIOLATION ||
                (error == ERROR_ACCESS_DENIED && LockFileIsThere(lockPath))) {
                holder->known = true;
                holder->sameProgram = true;
                return WindowsError(StatusCode::kBusy, "cannot lock folder", openedAt(), error);
            }
            return WindowsError("cannot lock folder", openedAt(), error);
        }
        lock->reset(new WindowsFolderLock(std::move(file)));
        return Status::OK();
    }

    // The lock file is opened to read, sharing everything, and closed at
    // once: only a run holding it (sharing nothing) makes that fail. Nothing
    // is created in the folder.
    Status LockToRead(const std::string& lockName, std::unique_ptr<FolderLock>* lock,
                      LockHolder* holder) override {
        lock->reset();
        const std::string lockPath = Here(lockName);
        KernelHandle file(CreateFileW(WidePath(lockPath).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
        if (file.valid())
            return Status::OK();  // left by a run the system ended: nobody holds it
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return Status::OK();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) {
            // Only a run of this program makes the lock file.
            holder->known = true;
            holder->sameProgram = true;
            return WindowsError(StatusCode::kBusy, "cannot lock folder", openedAt(), error);
        }
        return WindowsError("cannot lock folder", openedAt(), error);
    }

    // Opens the folder at `path` so that it stays where it is while held.
    static Status HoldFolder(const std::string& path, DWORD flags, KernelHandle* handle) {
        *handle = KernelHandle(
            CreateFileW(WidePath(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
        if (!handle->valid())
            return LastError("cannot open folder", path);
        return Status::OK();
    }

  private:
    // A file of the folder, by the path the folder keeps while held.
    std::string Here(const std::string& name) const { return JoinPath(openedAt(), name); }

    // A symbolic link or a junction, opened as itself.
    static bool IsLink(HANDLE handle) {
        FILE_ATTRIBUTE_TAG_INFO info{};
        return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info) &&
               (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
               IsReparseTagNameSurrogate(info.ReparseTag);
    }

    static bool LockFileIsThere(const std::string& lockPath) {
        return GetFileAttributesW(WidePath(lockPath).c_str()) != INVALID_FILE_ATTRIBUTES ||
               GetLastError() == ERROR_ACCESS_DENIED;
    }

    KernelHandle handle_;  // held for as long as the folder is open
    std::string finalAtOpening_;
};

class WindowsEnv : public Env {
  public:
    Status OpenFolder(const std::string& path, std::unique_ptr<Folder>* folder) override {
        // Named by its full path, which it keeps while held.
        std::wstring full(MAX_PATH, L'\0');
        const std::wstring wide = WidePath(path);
        for (;;) {
            const DWORD n =
                GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
            if (n == 0)
                return LastError("cannot open folder", path);
            if (n < full.size()) {
                full.resize(n);
                break;
            }
            full.resize(n);
        }
        const std::string where = PathFromWide(full);
        KernelHandle handle;
        const Status status = WindowsFolder::HoldFolder(where, 0, &handle);
        if (!status.ok())
            return status;
        std::string final;
        FinalPath(handle.get(), where, &final);  // none: see WindowsFolder
        folder->reset(new WindowsFolder(where, std::move(handle), std::move(final)));
        return Status::OK();
    }
};

}  // namespace

const char kPathSeparator = '\\';
const char kPathSeparators[] = "\\/";

Env& Env::Real() {
    static WindowsEnv env;
    return env;
}

}  // namespace platform
