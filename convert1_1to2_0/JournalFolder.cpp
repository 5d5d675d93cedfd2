#include "convert1_1to2_0/JournalFolder.h"

#include "core/JournalFiles.h"

using platform::Env;
using platform::Quoted;
using platform::Status;
using platform::StatusCode;
using platform::ThrowIfFailed;

JournalFolder::JournalFolder() {
    Env& env = Env::Current();
    ThrowIfFailed(env.GetCurrentDir(&path_));
    const Status status = env.LockDir(path_, journal_files::kLockFile, &lock_);
    if (status.Is(StatusCode::kBusy))
        throw platform::Error(Status::Make(
            StatusCode::kBusy,
            "another conversion is running in the folder " + Quoted(path_) +
                "; wait until it has finished, then run again if it did not convert the journal",
            path_));
    ThrowIfFailed(status);
}

void JournalFolder::RemoveLeftoverTemporaries() {
    Env& env = Env::Current();
    std::vector<std::string> names;
    ThrowIfFailed(env.ListDir(path_, &names));
    for (const std::string& name : names) {
        if (!journal_files::IsTemporaryName(name))
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
