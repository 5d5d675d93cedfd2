#pragma once

#include <string>

#include "platform/os/Env.h"

// Names that are never reused: base + suffix, then base + ".1" + suffix,
// base + ".2" + suffix, and so on ("data.xml.bak", "data.xml.1.bak", ...).
std::string NumberedName(const std::string& base, int number, const std::string& suffix);
bool IsNumberedName(const std::string& name, const std::string& base, const std::string& suffix);

// The first of those names that nothing in `folder` takes now: where a
// rename would put a file. Throws platform::Error.
std::string FirstFreeNumberedName(platform::Folder& folder, const std::string& base,
                                  const std::string& suffix);

// Renames the file `from` of `folder` to the first of those names that is
// free there, never replacing anything, and gives the new name. Throws
// platform::Error.
std::string RenameToFirstFreeNumberedName(platform::Folder& folder, const std::string& from,
                                          const std::string& base, const std::string& suffix);
