#pragma once

#include "convert1_1to2_0/ConvertJournal.h"
#include "platform/Reporter.h"

// What a conversion would end with, as a check finds it.
enum class CheckVerdict {
    kWouldSucceed,
    kWrongPassword,
    kWouldStop,  // it would fail, or ask a person first
};

// Opens the journal in the current folder exactly as a conversion would, and
// tells on the reporter's standard output what a conversion would do,
// changing nothing in the folder: not even what an interrupted run left,
// which is judged as a conversion would deal with it. The journal is
// deciphered in memory only.
//
// The report: a line per file a conversion would deal with ("<name>: <what
// it would do>"), the password's and the code page's findings, the counts,
// every warning and note a conversion would give, and the verdict as the last
// line. The check asks nothing but the password. A signal throws
// platform::Interrupted.
CheckVerdict CheckJournal(const ConversionOptions& options, platform::Reporter& reporter);
