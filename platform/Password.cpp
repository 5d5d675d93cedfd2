#include "platform/Password.h"

#include "platform/Cp1251.h"

namespace platform {

std::vector<std::string> PasswordSpellings(const std::string& typed) {
    std::string narrow;
    if (Utf8ToCp1251(typed, &narrow) && narrow != typed)
        return {narrow, typed};
    return {typed};
}

}  // namespace platform
