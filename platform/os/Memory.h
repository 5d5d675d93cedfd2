#pragma once

#include <cstdint>

namespace platform {

// The address space this process may use, in bytes: what the system lets it
// address (on Windows, 2 GiB for a 32-bit program, 4 GiB for one that is
// large-address-aware on a 64-bit Windows, terabytes for a 64-bit one), or
// the limit set on it (RLIMIT_AS); UINT64_MAX when nothing limits it.
uint64_t UsableAddressSpace();

// Tells the allocator that the run is about to build about `bytes` of data in
// many small blocks and will free nothing of it before it ends. Where the
// system can, the heap is then backed by large pages (on Linux, 2 MiB
// transparent huge pages) and memory freed is kept for reuse: a large
// journal's tree otherwise costs one page fault per 4 KiB, a third of the
// run. Only a hint: where the system cannot, nothing changes.
void PrepareHeapFor(uint64_t bytes);

}  // namespace platform
