#pragma once

#include <string>
#include <vector>

#include "platform/Reporter.h"
#include "platform/os/Env.h"

// A working copy "dataX" that a run finds is the data file as an interrupted
// run found it: that run was killed, or the machine went down. What the data
// file holds now decides what the copy is worth, and only a proof decides:
//
// - the data file is the same bytes: nothing had changed; the copy goes;
// - the data file is the copy's text, deciphered: the run stopped with the
//   journal open; the copy is put back as the data file;
// - the data file is the copy's text enciphered again: the run stopped after
//   closing the journal; the copy goes;
// - anything else (a newer journal, a damaged or missing data file): the copy
//   is kept, never replaced, as "data.interrupted" (or "data.interrupted.N"),
//   and the user is told.
//
// Telling needs the journal's password when the copy is enciphered. When
// none of `passwords` opens it and the data file lies deciphered (or nothing
// else can be told), nothing is touched and the password is wrong. Nor is
// anything touched when a password opens the copy but not the data file,
// which the run could then not open either: that is a wrong password too,
// and `why` says so. What is done is said to `reporter`.
enum class LeftoverOutcome { kNone, kRemoved, kPutBack, kKeptAside, kWrongPassword };

struct LeftoverResolution {
    LeftoverOutcome outcome = LeftoverOutcome::kNone;
    std::string keptAs;  // for kKeptAside
    // What the proof found, for kRemoved, kPutBack and kKeptAside; for
    // kWrongPassword, when more can be said.
    std::string why;
};

// What would be done, worked out without changing anything.
LeftoverResolution PlanLeftoverWorkingCopy(platform::Folder& folder, const std::string& dataFile,
                                           const std::string& workingCopy,
                                           const std::vector<std::string>& passwords);
// Works it out and does it.
LeftoverResolution ResolveLeftoverWorkingCopy(platform::Folder& folder, const std::string& dataFile,
                                              const std::string& workingCopy,
                                              const std::vector<std::string>& passwords,
                                              platform::Reporter& reporter);

// The names under which working copies are kept, in the order they are taken.
bool IsKeptWorkingCopyName(const std::string& name);
