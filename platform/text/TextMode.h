#pragma once

#include <string>
#include <string_view>

namespace platform {

// "Text mode" files, as the journal's home platform writes them: every LF is
// stored as CR LF, and reading drops a CR that stands before an LF.
std::string ToTextMode(std::string_view text);
std::string FromTextMode(std::string_view bytes);

// The white space that separates words, as a C stream reading text sees it.
inline bool IsStreamSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace platform
