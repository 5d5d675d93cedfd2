#include <windows.h>

#include "platform/os/windows/WindowsText.h"
#include "support/SystemFacts.h"

namespace testing_support {

std::string NoSuchFileText() {
    return platform::WindowsErrorText(ERROR_FILE_NOT_FOUND);
}

std::string NoSuchFolderText() {
    return platform::WindowsErrorText(ERROR_PATH_NOT_FOUND);
}

// A folder opened as a file is refused access.
std::string FolderAsFileText() {
    return platform::WindowsErrorText(ERROR_ACCESS_DENIED);
}

void SetPermissionBits(const std::string&, unsigned) {}

std::optional<unsigned> PermissionBits(const std::string&) {
    return std::nullopt;
}

// The current folder cannot be longer than the plain API's limit, room for
// the closing backslash and the terminating zero taken off.
size_t LongestCurrentFolder() {
    return MAX_PATH - 2;
}

bool RaisedSignalsReachTheRun() {
    return false;
}

}  // namespace testing_support
