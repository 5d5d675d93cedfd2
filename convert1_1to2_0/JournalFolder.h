#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Reporter.h"
#include "platform/os/Env.h"

// The journal folder (the current folder when the run starts) while a run
// works in it. It is opened once and held open: every file of the run is
// reached through it, so that a folder moved or renamed during the run is
// still the one converted, and a new folder made at its old path is never
// touched. One run at a time: a second one would take the first one's
// working files for an interrupted run's leftovers and destroy the journal
// between them.
class JournalFolder {
  public:
    enum class Access {
        kChange,  // the run changes the folder: the lock is its alone
        kRead,    // the run only reads, and changes nothing to lock it
    };
    // Opens the folder and takes its lock; throws platform::Error of the kind
    // kBusy, having touched nothing, when another process holds it.
    explicit JournalFolder(platform::Reporter& reporter, Access access = Access::kChange);
    JournalFolder(const JournalFolder&) = delete;
    JournalFolder& operator=(const JournalFolder&) = delete;

    // The folder held open, for every file operation of the run.
    platform::Folder& files() { return *folder_; }
    // Where the folder is now.
    std::string path() { return folder_->Location(); }

    // Removes the temporary files an interrupted run left: regular files
    // with the names this program gives its temporaries, and nothing else,
    // each named on the reporter. Files named as earlier versions named
    // theirs are named too, and kept: a person may have chosen such a name.
    void RemoveLeftoverTemporaries();
    // Their names.
    std::vector<std::string> LeftoverTemporaries() const;
    // Makes every rename and removal in the folder survive a power cut.
    void Sync();
    // Says where the folder went when it was moved during the run.
    void SayIfMoved();

  private:
    platform::Reporter& reporter_;
    std::unique_ptr<platform::Folder> folder_;
    std::unique_ptr<platform::FolderLock> lock_;
};
