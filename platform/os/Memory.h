#pragma once

#include <cstdint>

namespace platform {

// The address space this process may use, in bytes: what the system lets it
// address (on Windows, 2 GiB for a 32-bit program, 4 GiB for one that is
// large-address-aware on a 64-bit Windows, terabytes for a 64-bit one), or
// the limit set on it (RLIMIT_AS); UINT64_MAX when nothing limits it.
uint64_t UsableAddressSpace();

}  // namespace platform
