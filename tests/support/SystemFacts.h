#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace testing_support {

// What differs between the systems the tests run on, as the Env and the
// program report it. Each system has its own definitions.

// The system's words for opening a file that does not exist, for creating a
// file in a folder that does not exist, and for opening a folder as a file.
std::string NoSuchFileText();
std::string NoSuchFolderText();
std::string FolderAsFileText();

// A file's permission bits. Windows has none: setting them does nothing,
// and there are none to read.
void SetPermissionBits(const std::string& path, unsigned bits);
std::optional<unsigned> PermissionBits(const std::string& path);

// The longest path a program can be started in as its current folder.
size_t LongestCurrentFolder();

// True where a signal a process raises itself (std::raise) reaches the
// program's interrupt handling as one from a user would. Windows delivers a
// user's interrupts as console events instead.
bool RaisedSignalsReachTheRun();

}  // namespace testing_support
