#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/os/Env.h"

// The journal folder (the current folder) while a run works in it. One run
// at a time: a second one would take the first one's working files for an
// interrupted run's leftovers and destroy the journal between them.
class JournalFolder {
  public:
    enum class Access {
        kChange,  // the run changes the folder: the lock is its alone
        kRead,    // the run only reads, and changes nothing to lock it
    };
    // Takes the folder's lock; throws platform::Error of the kind kBusy,
    // having touched nothing, when another run holds it.
    explicit JournalFolder(Access access = Access::kChange);
    JournalFolder(const JournalFolder&) = delete;
    JournalFolder& operator=(const JournalFolder&) = delete;

    const std::string& path() const { return path_; }

    // Removes the temporary files an interrupted run left: regular files
    // with the names this program gives its temporaries, and nothing else.
    void RemoveLeftoverTemporaries();
    // Their names.
    std::vector<std::string> LeftoverTemporaries() const;
    // Makes every rename and removal in the folder survive a power cut.
    void Sync();

  private:
    std::string path_;
    std::unique_ptr<platform::FolderLock> lock_;
};
