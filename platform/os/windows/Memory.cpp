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

// Windows gives large pages only to a process holding the right to lock
// memory, which a user's program does not have; its heap stays as it is.
void PrepareHeapFor(uint64_t) {}

}  // namespace platform
