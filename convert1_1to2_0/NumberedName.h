#pragma once

#include <string>

#include "platform/os/Env.h"

// Names that are never reused: base + suffix, then base + ".1" + suffix,
// base + ".2" + suffix, and so on ("data.xml.bak", "data.xml.1.bak", ...).
std::string NumberedName(const std::string& base, int number, const std::string& suffix);
bool IsNumberedName(const std::string& name, const std::string& base, const std::string& suffix);

// The path of the first of those names that nothing in `folder` takes now:
// where a rename would put a file. Throws platform::Error.
std::string FirstFreeNumberedName(platform::Env& env, const std::string& folder,
                                  const std::string& base, const std::string& suffix);

// Renames `from` to the first of those names that is free in `folder`,
// never replacing anything, and gives the new path. Throws platform::Error.
std::string RenameToFirstFreeNumberedName(platform::Env& env, const std::string& from,
                                          const std::string& folder, const std::string& base,
                                          const std::string& suffix);
