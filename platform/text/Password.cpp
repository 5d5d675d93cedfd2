#include "platform/text/Password.h"

#include "platform/text/CodePage.h"

namespace platform {

std::vector<std::string> PasswordSpellings(const std::string& typed, int codePage) {
    std::string narrow;
    if (Utf8ToCodePage(typed, codePage, &narrow) && narrow != typed)
        return {narrow, typed};
    return {typed};
}

}  // namespace platform
