#pragma once

#include <string>
#include <vector>

namespace platform {

// The byte strings a password typed on this system may have been hashed as
// when the journal was enciphered, most likely first. The journal's home
// platform passed the password in its ANSI code page (`codePage`, one of
// SupportedCodePages()); a terminal here hands it over as UTF-8. An ASCII
// password has one spelling.
std::vector<std::string> PasswordSpellings(const std::string& typed, int codePage);

// True when every byte of `text` is ASCII: it is spelled alike in every code
// page.
bool IsAscii(const std::string& text);

}  // namespace platform
