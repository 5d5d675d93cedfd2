#include <windows.h>

#include "platform/os/Memory.h"

namespace platform {

uint64_t UsableAddressSpace() {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return UINT64_MAX;
    return status.ullTotalVirtual;
}

}  // namespace platform
