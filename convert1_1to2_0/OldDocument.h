#pragma once

#include <string>

#include "platform/Reporter.h"
#include "platform/os/Env.h"
#include "platform/os/Fatal.h"

// The document a run finds in "data.xml" is the user's: the newer release may
// have been writing in it since an earlier conversion. It is never
// overwritten or lost. While the run builds a new document from the
// template, it waits under "data.xml.old"; a run that succeeds keeps it under
// the first free name of "data.xml.bak", "data.xml.1.bak", ..., unless one of
// those holds the very same bytes already (a run again over an unchanged
// journal): then the waiting one goes; a run that fails puts it back.
class OldDocument {
  public:
    // A document that an interrupted run left waiting goes back in place
    // before a new run starts. What stands there instead is kept too, unless
    // it is the bare template.
    static void RecoverInterruptedRun(platform::Folder& folder, platform::Reporter& reporter);

    // What a run would do with the documents in `folder`, worked out
    // without changing anything. Its names are names in the folder.
    struct Plan {
        std::string putBack;         // the waiting document goes back in place first
        bool templateGoes = false;   // ... over the bare template an interrupted run made
        std::string standingKeptAs;  // ... while what stood there is kept under this name
        std::string keptAs;          // the earlier document is kept under this name
        bool keptBefore = false;     // ... which holds it already: it goes
    };
    static Plan PlanFor(platform::Folder& folder);

    // Sets "data.xml" aside, when there is one. Throws, with nothing
    // changed, when it cannot: merging into it would change the user's
    // document and add every dream again at each run. `folder` must outlive
    // the object.
    OldDocument(platform::Folder& folder, platform::Reporter& reporter);
    // Unless kept: the old document back in its place (or, when there was
    // none, no document).
    ~OldDocument();
    OldDocument(const OldDocument&) = delete;
    OldDocument& operator=(const OldDocument&) = delete;

    // The run has succeeded: the old document takes its backup name, or
    // goes where a kept copy holds it already. Throws platform::Error when
    // it cannot (the run then fails and puts it back).
    void Keep();
    // Where Keep put it, or the copy that held it already (its name in the
    // folder); empty when there was no old document.
    const std::string& keptAs() const { return keptAs_; }
    // True when keptAs() held the document before this run.
    bool keptBefore() const { return keptBefore_; }

  private:
    void PutBack();

    enum State { kNone, kSetAside, kKept };
    platform::Folder& folder_;
    std::string keptAs_;
    bool keptBefore_ = false;
    platform::Reporter& reporter_;
    State state_ = kKept;
    platform::RecoveryAction recovery_;
};
