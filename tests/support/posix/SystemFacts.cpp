#include "support/SystemFacts.h"

#include <errno.h>
#include <limits.h>

#include <cstring>

namespace testing_support {

std::string NoSuchFileText() {
    return std::strerror(ENOENT);
}

std::string NoSuchFolderText() {
    return std::strerror(ENOENT);
}

std::string FolderAsFileText() {
    return std::strerror(EISDIR);
}

size_t LongestCurrentFolder() {
    return PATH_MAX - 1;
}

}  // namespace testing_support
