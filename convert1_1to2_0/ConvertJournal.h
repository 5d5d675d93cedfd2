#pragma once

#include <functional>
#include <string>

#include "platform/Reporter.h"
#include "platform/Status.h"

// What the user asked for.
struct ConversionOptions {
    // The password as given on the command line (or typed at the prompt);
    // empty when none was given.
    std::string password;
    // The password came from the command line, began with "-" and was not
    // after "--": it may be a mistyped option.
    bool passwordLooksLikeOption = false;
    // The Windows code page the legacy texts and password were written in:
    // one of platform::SupportedCodePages().
    int codePage = 1251;
    // The user named the code page. When not, a person at the console is
    // asked before texts that look written in another code page are read in
    // this one, and a password that opens the journal only as another code
    // page spells it chooses that page.
    bool codePageChosen = false;
    // Asks the user for the password; false when there is no one to ask (no
    // terminal) or the answer could not be read. Called only when no
    // password was given and the empty one does not open the journal, and
    // again after a wrong one, up to three times.
    std::function<bool(std::string* password)> askPassword;
};

// What a run did, for the summary the program prints.
struct ConversionReport {
    bool opened = false;  // false: the password did not open the journal
    int dreams = 0;
    int lucidDreams = 0;
    int places = 0;
    int positions = 0;
    std::string documentPath;     // the new document
    std::string setAsidePath;     // where an earlier document was kept, or empty
    bool setAsideBefore = false;  // ... by an earlier run: it was there already
    // The saved document was read back and found to hold the journal.
    bool verified = false;
    // The journal was converted, but a step after that failed: its backups
    // did not move on, or the settings or the folder could not be made
    // durable. The text says what failed and where everything is.
    platform::Status unfinished;
};

// Converts the legacy journal in the current folder into "data.xml" there,
// saying what it does to `reporter`. `opened` is false when the password
// does not open the journal ("Wrong password!" has been written then, and
// nothing was changed). Other failures throw platform::Error (or
// platform::Interrupted, for a signal) after the folder has been put back as
// it was found; a code page that is not supported, before anything is
// touched.
//
// The journal's texts are judged in the code page before anything in the
// folder changes (see CodePageJudgement). When they look written in another
// one, a person at the console is asked whether to read them in that one
// (a no ends the run, nothing changed); otherwise a warning says so. Where
// there is no journal, a person at the console is asked before a new one is
// made.
//
// The document's dates are written with the decimal separator the legacy
// data file shows (the locale's when it shows none), so the newer release,
// reading with the same Windows settings, reads them back.
ConversionReport ConvertJournal(const ConversionOptions& options, platform::Reporter& reporter);

// The same with only a password; true when the journal was opened.
bool ConvertJournal(std::string password, platform::Reporter& reporter);
