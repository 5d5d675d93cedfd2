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
    const size_t cut = path.find_last_of(kPathSeparator);
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

std::string NameOf(const std::string& path) {
    const size_t cut = path.find_last_of(kPathSeparator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

namespace {

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

}  // namespace

Status Env::CreateTemp(const std::string& near, std::string* path,
                       std::unique_ptr<WritableFile>* file) {
    for (int attempt = 0;; ++attempt) {
        *path = near + "." + RandomCharacters(kTempNameRandomLength) + ".tmp";
        Status status = CreateNew(*path, file);
        if (status.ok())
            return status;
        if (!status.Is(StatusCode::kExists) || attempt == 100) {
            path->clear();
            const std::string& reason =
                status.systemText().empty() ? status.message() : status.systemText();
            return Status::Make(
                status.code(), "cannot create a temporary file for " + Quoted(near) + ": " + reason,
                near, status.systemCode(), status.systemText());
        }
    }
}

bool IsTempNameFor(const std::string& name, const std::string& nearName) {
    const std::string suffix = ".tmp";
    if (name.size() != nearName.size() + 1 + kTempNameRandomLength + suffix.size() ||
        name.compare(0, nearName.size(), nearName) != 0 || name[nearName.size()] != '.' ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (size_t i = nearName.size() + 1; i < name.size() - suffix.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

Status ReadWholeFile(Env& env, const std::string& path, std::string* contents) {
    contents->clear();
    std::unique_ptr<ReadableFile> file;
    Status status = env.OpenForRead(path, &file);
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

Status ReadSmallFile(Env& env, const std::string& path, size_t limit, std::string* contents) {
    contents->clear();
    std::unique_ptr<ReadableFile> file;
    Status status = env.OpenForRead(path, &file);
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
    if (total > limit)
        return Status::Make(StatusCode::kCorrupt,
                            "cannot read " + Quoted(path) + ": larger than " +
                                std::to_string(limit) + " bytes, which no such file is",
                            path);
    contents->assign(buffer.get(), total);
    return file->Close();
}

Status TakeOwnershipOf(Env& env, const std::string& temp, const std::string& target) {
    FileKind kind;
    Status status = env.GetFileKind(target, &kind);
    if (!status.ok() || kind != FileKind::kFile)
        return status;
    FileOwnership ownership;
    status = env.GetOwnership(target, &ownership);
    if (status.ok())
        status = env.SetOwnership(temp, ownership);
    return status;
}

namespace {

// Puts a finished temporary file in the place of `path`, with `ownership`
// when given, else with that of the file it replaces; or removes it.
Status Commit(Env& env, Status status, const std::string& temp, const std::string& path,
              const FileOwnership* ownership = nullptr) {
    if (status.ok())
        status = ownership != nullptr ? env.SetOwnership(temp, *ownership)
                                      : TakeOwnershipOf(env, temp, path);
    if (status.ok())
        status = env.RenameFile(temp, path);
    if (!status.ok())
        env.RemoveFile(temp);  // best effort; the target is untouched
    return status;
}

}  // namespace

Status WriteFileAtomically(Env& env, const std::string& path, const std::string& contents) {
    std::string temp;
    std::unique_ptr<WritableFile> file;
    Status status = env.CreateTemp(path, &temp, &file);
    if (!status.ok())
        return status;
    status = file->Write(contents);
    if (status.ok())
        status = file->Flush();
    if (status.ok())
        status = file->Close();
    file.reset();
    return Commit(env, status, temp, path);
}

Status CopyWholeFile(Env& env, const std::string& from, const std::string& to,
                     const FileOwnership* ownership) {
    std::unique_ptr<ReadableFile> in;
    Status status = env.OpenForRead(from, &in);
    if (!status.ok())
        return status;
    std::string temp;
    std::unique_ptr<WritableFile> out;
    status = env.CreateTemp(to, &temp, &out);
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
    return Commit(env, status, temp, to, ownership);
}

}  // namespace platform
