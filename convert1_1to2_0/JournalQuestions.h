#pragma once

#include <memory>
#include <string>

#include "convert1_1to2_0/ConvertJournal.h"
#include "platform/Reporter.h"
#include "platform/os/Env.h"

class TDreamBase;

// The decisions about a journal that may need the user: a code page given
// that no journal is in, a new journal where there is none, the code page the
// texts are read in, and what a wrong password may mean. A conversion asks a
// person at the console; a check (and a script) is told instead.

// Opens the journal in `folder` (whose path is `folderPath`) with the user's
// password, asking a person for it where none was given, and a person's word
// before a new journal is made. A wrong password is explained where its
// letters may be to blame and returned as kWrongKey; other failures throw.
// `inspectOnly`: as a check opens it, changing nothing.
platform::Status OpenLegacyJournal(platform::Folder& folder, const std::string& folderPath,
                                   const ConversionOptions& options, bool inspectOnly,
                                   platform::Reporter& reporter,
                                   std::unique_ptr<TDreamBase>* legacy);

// Throws platform::Error, before anything is touched, for a code page that is
// not supported.
void CheckCodePage(int codePage);

// Where there is no journal: a person at the console decides whether a new
// one is made. Throws platform::Error to refuse, with nothing changed.
void ConfirmNewJournal(const ConversionOptions& options, const std::string& folder,
                       platform::Reporter& reporter);

// The code page the journal's texts are read in: the one given or taken by
// default, or the one the password was spelled in; another where the texts
// look written in it and a person at the console agrees. `warning` receives
// what to say at the end of the run when nobody was asked.
int ChooseCodePage(const ConversionOptions& options, const TDreamBase& legacy,
                   platform::Reporter& reporter, std::string* warning);

// What a wrong password may mean, for one with letters beyond ASCII.
void ExplainWrongPassword(const ConversionOptions& options, platform::Reporter& reporter);
