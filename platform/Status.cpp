#include "platform/Status.h"

#include <cstring>

namespace platform {

Status Status::FromErrno(const std::string& what, const std::string& path, int err) {
    return Status(what + " \"" + path + "\": " + std::strerror(err));
}

}  // namespace platform
