#include "convert1_1to2_0/JournalFolder.h"

#include "core/JournalFiles.h"

using platform::Env;
using platform::Quoted;
using platform::Status;
using platform::StatusCode;
using platform::ThrowIfFailed;

JournalFolder::JournalFolder(Access access) {
    Env& env = Env::Current();
    ThrowIfFailed(env.GetCurrentDir(&path_));
    const Status status = access == Access::kChange
                              ? env.LockDir(path_, journal_files::kLockFile, &lock_)
                              : env.LockDirToRead(path_, journal_files::kLockFile, &lock_);
    if (status.Is(StatusCode::kBusy))
        throw platform::Error(Status::Make(
            StatusCode::kBusy,
            "another conversion is running in the folder " + Quoted(path_) +
                "; wait until it has finished, then run again if it did not convert the journal",
            path_));
    ThrowIfFailed(status);
}

std::vector<std::string> JournalFolder::LeftoverTemporaries() const {
    Env& env = Env::Current();
    std::vector<std::string> names, temporaries;
    ThrowIfFailed(env.ListDir(path_, &names));
    for (const std::string& name : names) {
        if (!journal_files::IsTemporaryName(name))
            continue;
        // Only a plain file: whatever else took such a name is not ours.
        platform::FileKind kind;
        ThrowIfFailed(env.GetFileKind(platform::JoinPath(path_, name), &kind));
        if (kind == platform::FileKind::kFile)
            temporaries.push_back(name);
    }
    return temporaries;
}

void JournalFolder::RemoveLeftoverTemporaries() {
    for (const std::string& name : LeftoverTemporaries())
        ThrowIfFailed(Env::Current().RemoveFile(platform::JoinPath(path_, name)));
}

void JournalFolder::Sync() {
    ThrowIfFailed(Env::Current().SyncDir(path_));
}
