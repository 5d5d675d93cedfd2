#include "platform/os/Memory.h"

#include <sys/resource.h>

namespace platform {

uint64_t UsableAddressSpace() {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return UINT64_MAX;
    return static_cast<uint64_t>(limit.rlim_cur);
}

}  // namespace platform
