#pragma once

#include <string>
#include <string_view>

namespace platform {

// "Text mode" files, as the journal's home platform writes them: every LF is
// stored as CR LF, and reading drops a CR that stands before an LF.
std::string ToTextMode(std::string_view text);
std::string FromTextMode(std::string_view bytes);

}  // namespace platform
