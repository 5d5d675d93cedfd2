#include "platform/text/Password.h"

#include <algorithm>

#include "platform/text/CodePage.h"

namespace platform {

std::vector<std::string> PasswordSpellings(const std::string& typed, int codePage) {
    std::string narrow;
    if (Utf8ToCodePage(typed, codePage, &narrow) && narrow != typed)
        return {narrow, typed};
    return {typed};
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

}  // namespace platform
