#include "support/SystemFacts.h"

#include <errno.h>
#include <limits.h>
#include <sys/stat.h>

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

void SetPermissionBits(const std::string& path, unsigned bits) {
    ::chmod(path.c_str(), static_cast<mode_t>(bits));
}

std::optional<unsigned> PermissionBits(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st.st_mode & 07777u;
}

size_t LongestCurrentFolder() {
    return PATH_MAX - 1;
}

bool RaisedSignalsReachTheRun() {
    return true;
}

}  // namespace testing_support
