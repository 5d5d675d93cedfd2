#include "platform/Env.h"

namespace platform {

Env* Env::current_ = nullptr;

Env& Env::Current() {
    return current_ != nullptr ? *current_ : Real();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder + kPathSeparator + name;
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

Status WriteFileAtomically(Env& env, const std::string& path, const std::string& contents) {
    const std::string temp = path + ".tmp";
    std::unique_ptr<WritableFile> file;
    Status status = env.OpenForWrite(temp, &file);
    if (!status.ok())
        return status;
    status = file->Write(contents);
    if (status.ok())
        status = file->Flush();
    if (status.ok())
        status = file->Close();
    file.reset();
    if (status.ok())
        status = env.RenameFile(temp, path);
    if (!status.ok())
        env.RemoveFile(temp);  // best effort; the target is untouched
    return status;
}

}  // namespace platform
