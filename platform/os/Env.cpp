#include "platform/os/Env.h"

#include <random>

namespace platform {

Env* Env::current_ = nullptr;

Env& Env::Current() {
    return current_ != nullptr ? *current_ : Real();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder + kPathSeparator + name;
}

std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of(kPathSeparators);
    if (cut == std::string::npos)
        return ".";
    // The root ("/", "C:\") keeps its separator.
    return cut == 0 || path[cut - 1] == ':' ? path.substr(0, cut + 1) : path.substr(0, cut);
}

std::string NameOf(const std::string& path) {
    const size_t cut = path.find_last_of(kPathSeparators);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

FileOwnership Private(FileOwnership ownership) {
    ownership.mode &= 0700;
    ownership.attributes.clear();
    return ownership;
}

bool IsPrivate(const FileOwnership& ownership) {
    return !ownership.known || (ownership.mode & 077) == 0;
}

namespace {

// Lower-case letters and digits: a name that differs from another only in
// case is the same name on the file systems of Windows.
std::string RandomCharacters(size_t n) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
    std::string text;
    for (size_t i = 0; i < n; ++i)
        text.push_back(kAlphabet[pick(device)]);
    return text;
}

bool IsLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string TempNameForm::Make(const std::string& near, const std::string& random) const {
    return before + near + between + random + after;
}

bool TempNameForm::Matches(const std::string& name, const std::string& near) const {
    const std::string head = before + near + between;
    if (name.size() != head.size() + kTempNameRandomLength + after.size() ||
        name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - after.size(), after.size(), after) != 0)
        return false;
    for (size_t i = head.size(); i < head.size() + kTempNameRandomLength; ++i) {
        if (!IsLetterOrDigit(name[i]))
            return false;
    }
    return true;
}

std::string Folder::Location() {
    std::string path;
    return Where(&path).ok() ? path : openedAt_;
}

std::string Folder::PathOf(const std::string& name) {
    return JoinPath(Location(), name);
}

Status Folder::CreateTemp(const std::string& near, std::string* name,
                          std::unique_ptr<WritableFile>* file) {
    for (int attempt = 0;; ++attempt) {
        *name = tempNames_.Make(near, RandomCharacters(kTempNameRandomLength));
        Status status = CreateNew(*name, file);
        if (status.ok())
            return status;
        if (!status.Is(StatusCode::kExists) || attempt == 100) {
            name->clear();
            const std::string& reason =
                status.systemText().empty() ? status.message() : status.systemText();
            return Status::Make(
                status.code(),
                "cannot create a temporary file for " + Quoted(PathOf(near)) + ": " + reason,
                status.path(), status.systemCode(), status.systemText());
        }
    }
}

Status ReadWholeFile(Folder& folder, const std::string& name, std::string* contents) {
    contents->clear();
    std::unique_ptr<ReadableFile> file;
    Status status = folder.OpenForRead(name, &file);
    if (!status.ok())
        return status;
    char buffer[1 << 16];
    for (;;) {
        size_t got = 0;
        status = file->Read(buffer, sizeof buffer, &got);
        if (!status.ok())
            return status;
        if (got == 0)
            break;
        contents->append(buffer, got);
    }
    return file->Close();
}

Status ReadSmallFile(Folder& folder, const std::string& name, size_t limit, std::string* contents) {
    contents->clear();
    std::unique_ptr<ReadableFile> file;
    Status status = folder.OpenForRead(name, &file);
    if (!status.ok())
        return status;
    std::unique_ptr<char[]> buffer(new char[limit + 1]);
    size_t total = 0;
    // One byte more than allowed tells a file that is too large.
    while (total <= limit) {
        size_t got = 0;
        status = file->Read(buffer.get() + total, limit + 1 - total, &got);
        if (!status.ok())
            return status;
        if (got == 0)
            break;
        total += got;
    }
    if (total > limit) {
        const std::string path = folder.PathOf(name);
        return Status::Make(StatusCode::kCorrupt,
                            "cannot read " + Quoted(path) + ": larger than " +
                                std::to_string(limit) + " bytes, which no such file is",
                            path);
    }
    contents->assign(buffer.get(), total);
    return file->Close();
}

Status KeepOwnership(Folder& folder, const std::string& name, const FileOwnership& ownership) {
    const Status status = folder.SetOwnership(name, ownership);
    if (status.Is(StatusCode::kNotSupported) || status.Is(StatusCode::kPermission))
        return Status::OK();  // the file keeps what the file system gives it
    return status;
}

Status TakeOwnershipOf(Folder& folder, const std::string& temp, const std::string& target) {
    FileKind kind;
    Status status = folder.GetFileKind(target, &kind);
    if (!status.ok() || kind != FileKind::kFile)
        return status;
    FileOwnership ownership;
    status = folder.GetOwnership(target, &ownership);
    if (status.ok())
        status = KeepOwnership(folder, temp, ownership);
    return status;
}

namespace {

// Puts a finished temporary file in the place of `name`, with `ownership`
// when given, else with that of the file it replaces; or removes it.
Status Commit(Folder& folder, Status status, const std::string& temp, const std::string& name,
              const FileOwnership* ownership = nullptr) {
    if (status.ok())
        status = ownership != nullptr ? KeepOwnership(folder, temp, *ownership)
                                      : TakeOwnershipOf(folder, temp, name);
    if (status.ok())
        status = folder.RenameFile(temp, name);
    if (!status.ok())
        folder.RemoveFile(temp);  // best effort; the target is untouched
    return status;
}

}  // namespace

Status WriteFileAtomically(Folder& folder, const std::string& name, const std::string& contents) {
    std::string temp;
    std::unique_ptr<WritableFile> file;
    Status status = folder.CreateTemp(name, &temp, &file);
    if (!status.ok())
        return status;
    status = file->Write(contents);
    if (status.ok())
        status = file->Flush();
    if (status.ok())
        status = file->Close();
    file.reset();
    return Commit(folder, status, temp, name);
}

Status CopyWholeFile(Folder& folder, const std::string& from, const std::string& to,
                     const FileOwnership* ownership) {
    std::unique_ptr<ReadableFile> in;
    Status status = folder.OpenForRead(from, &in);
    if (!status.ok())
        return status;
    std::string temp;
    std::unique_ptr<WritableFile> out;
    status = folder.CreateTemp(to, &temp, &out);
    if (!status.ok())
        return status;
    std::unique_ptr<char[]> buffer(new char[1 << 16]);
    for (;;) {
        size_t got = 0;
        status = in->Read(buffer.get(), 1 << 16, &got);
        if (!status.ok() || got == 0)
            break;
        status = out->Write(buffer.get(), got);
        if (!status.ok())
            break;
    }
    if (status.ok())
        status = out->Flush();
    if (status.ok())
        status = out->Close();
    if (status.ok())
        status = in->Close();
    out.reset();
    return Commit(folder, status, temp, to, ownership);
}

Status ReadWholeFile(Env& env, const std::string& path, std::string* contents) {
    std::unique_ptr<Folder> folder;
    Status status = env.OpenFolder(FolderOf(path), &folder);
    return status.ok() ? ReadWholeFile(*folder, NameOf(path), contents) : status;
}

Status WriteFileAtomically(Env& env, const std::string& path, const std::string& contents) {
    std::unique_ptr<Folder> folder;
    Status status = env.OpenFolder(FolderOf(path), &folder);
    return status.ok() ? WriteFileAtomically(*folder, NameOf(path), contents) : status;
}

}  // namespace platform
