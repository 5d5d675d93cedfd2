#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "convert1_1to2_0/DreamBase.h"
#include "platform/Status.h"

// The proof that a saved document holds the legacy journal, exactly: read
// back from the bytes on disk, apart from the objects that wrote it, and
// compared field by field with the journal as it was read.
//
// `document` is the saved file's bytes and `path` its name for messages;
// `legacy` the open journal and `codePage` the one its texts were read in.
// Compared: the place and position lists in order (the legacy entries first,
// then only blanked ones), and for each dream in order its date, clock,
// place, position, lucid flag (its type), clarity and text with the lucid
// markers converted, and its empty subject and zero duration. OK, or a
// failure of the kind kCorrupt that names the first difference: which dream
// or list entry, which field, and both values. `stop` set ends the work
// early (the result then means nothing).
//
// The document may be compared while `legacy` is being closed on another
// thread: it is only read.
platform::Status ProveDocument(const std::string& document, const std::string& path,
                               const TDreamBase& legacy, int codePage,
                               const std::atomic<bool>& stop);

// ProveDocument on a thread of its own, so that the proof costs next to
// nothing: it runs while the journal is enciphered again. Going out of scope
// without Result() stops the proof and waits for it.
class BackgroundProof {
  public:
    BackgroundProof(std::string document, std::string path, const TDreamBase& legacy, int codePage);
    ~BackgroundProof();
    BackgroundProof(const BackgroundProof&) = delete;
    BackgroundProof& operator=(const BackgroundProof&) = delete;

    // Waits for the proof and gives its outcome.
    platform::Status Result();

  private:
    std::string document_;
    std::string path_;
    std::atomic<bool> stop_{false};
    platform::Status result_;
    std::thread thread_;
};
