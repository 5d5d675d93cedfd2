#include "convert1_1to2_0/JournalFolder.h"

using platform::Env;
using platform::ThrowIfFailed;

namespace {

// The files beside which this program makes its temporary files.
const char* const kTemporaryBases[] = {"data",   "data__",   "dataX", "_data",
                                       "__data", "data.xml", "ini",   "ini.txt"};

bool IsOurTemporary(const std::string& name) {
    for (const char* base : kTemporaryBases) {
        if (platform::IsTempNameFor(name, base))
            return true;
    }
    return false;
}

}  // namespace

JournalFolder::JournalFolder() {
    Env& env = Env::Current();
    ThrowIfFailed(env.GetCurrentDir(&path_));
    bool busy = false;
    platform::Status status = env.LockDir(path_, &lock_, &busy);
    if (busy)
        throw platform::IoError(platform::Status::Error(
            "another conversion is running in the folder \"" + path_ +
            "\"; wait until it has finished, then run again if it did not convert the journal"));
    ThrowIfFailed(status);
}

void JournalFolder::RemoveLeftoverTemporaries() {
    Env& env = Env::Current();
    std::vector<std::string> names;
    ThrowIfFailed(env.ListDir(path_, &names));
    for (const std::string& name : names) {
        if (!IsOurTemporary(name))
            continue;
        // Only a plain file: whatever else took such a name is not ours.
        const std::string path = platform::JoinPath(path_, name);
        platform::FileKind kind;
        ThrowIfFailed(env.GetFileKind(path, &kind));
        if (kind == platform::FileKind::kFile)
            ThrowIfFailed(env.RemoveFile(path));
    }
}

void JournalFolder::Sync() {
    ThrowIfFailed(Env::Current().SyncDir(path_));
}
