#include "convert1_1to2_0/JournalFolder.h"

#include <algorithm>
#include <vector>

#include "core/JournalFiles.h"

using platform::FileKind;
using platform::Quoted;
using platform::Status;
using platform::StatusCode;
using platform::ThrowIfFailed;

namespace {

// Why the folder's lock could not be had, as true as the system lets it be.
std::string Busy(const std::string& folder, const platform::LockHolder& holder) {
    if (holder.known && holder.sameProgram)
        return "another conversion is running in the folder " + Quoted(folder) +
               "; wait until it has finished, then run again if it did not convert the journal";
    if (holder.known)
        return "another program, " + Quoted(holder.program) + " (process " +
               std::to_string(holder.process) + "), holds a lock on the folder " + Quoted(folder) +
               "; run again once it has let go of the folder";
    return "the folder " + Quoted(folder) +
           " is locked by another process: another conversion may be running in it, or another "
           "program holds a lock on it; run again once it has finished";
}

}  // namespace

JournalFolder::JournalFolder(platform::Reporter& reporter, Access access) : reporter_(reporter) {
    ThrowIfFailed(platform::Env::Current().OpenFolder(".", &folder_));
    folder_->SetTempNameForm(journal_files::kTemporaryForm);
    platform::LockHolder holder;
    const Status status = access == Access::kChange
                              ? folder_->Lock(journal_files::kLockFile, &lock_, &holder)
                              : folder_->LockToRead(journal_files::kLockFile, &lock_, &holder);
    if (status.Is(StatusCode::kBusy))
        throw platform::Error(Status::Make(StatusCode::kBusy, Busy(path(), holder), path()));
    ThrowIfFailed(status);
}

std::vector<std::string> JournalFolder::LeftoverTemporaries() const {
    std::vector<std::string> names, temporaries;
    ThrowIfFailed(folder_->List(&names));
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (!journal_files::IsTemporaryName(name))
            continue;
        // Only a plain file: whatever else took such a name is not ours.
        FileKind kind;
        ThrowIfFailed(folder_->GetFileKind(name, &kind));
        if (kind == FileKind::kFile)
            temporaries.push_back(name);
    }
    return temporaries;
}

void JournalFolder::RemoveLeftoverTemporaries() {
    std::vector<std::string> names;
    ThrowIfFailed(folder_->List(&names));
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const bool ours = journal_files::IsTemporaryName(name);
        if (!ours && !journal_files::IsEarlierTemporaryName(name))
            continue;
        // Only a plain file: whatever else took such a name is not ours.
        FileKind kind;
        ThrowIfFailed(folder_->GetFileKind(name, &kind));
        if (kind != FileKind::kFile)
            continue;
        if (ours) {
            ThrowIfFailed(folder_->RemoveFile(name));
            reporter_.Note("removed " + Quoted(folder_->PathOf(name)) +
                           ", a temporary file an interrupted run left");
        } else {
            reporter_.Warning(Quoted(folder_->PathOf(name)) +
                              " is named as an earlier version of this program named its "
                              "temporary files: it may have been left by one, and may hold the "
                              "deciphered journal. It is kept; delete it if it is not yours.");
        }
    }
}

void JournalFolder::Sync() {
    ThrowIfFailed(folder_->Sync());
}

void JournalFolder::SayIfMoved() {
    std::string now;
    const Status where = folder_->Where(&now);
    if (where.Is(StatusCode::kNotFound))
        reporter_.Note("the folder " + Quoted(folder_->openedAt()) +
                       " was moved or deleted during the run; where it is now cannot be told");
    else if (where.ok() && now != folder_->openedAt())
        reporter_.Note("the folder " + Quoted(folder_->openedAt()) + " was moved to " +
                       Quoted(now) + " during the run; the run followed it");
}
