#include "platform/os/Memory.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

uint64_t UsableAddressSpace() {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return UINT64_MAX;
    return static_cast<uint64_t>(limit.rlim_cur);
}

void PrepareHeapFor(uint64_t bytes) {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    // A small journal converts in moments; its heap is left as it is.
    constexpr uint64_t kWorthIt = 128ull << 20;
    if (bytes < kWorthIt)
        return;
    // Blocks of the journal's size (the data file read and deciphered) come
    // from the heap, not from pages of their own that are mapped and faulted
    // afresh each time; and what is freed stays for the next block.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the most glibc accepts
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
    // A second thread takes its blocks from this heap too, not from an arena
    // of its own made of small pages; the run's threads allocate little at
    // the same time.
    ::mallopt(M_ARENA_MAX, 1);
    // The heap grows once by the whole reserve (the break moves; nothing is
    // touched), and that range is marked for huge pages before any of it is
    // used. One call may grow it by at most 1 GiB (the setting is an int):
    // the part of a larger journal's heap beyond it keeps small pages.
    const uint64_t reserve = std::min<uint64_t>(bytes, 1ull << 30);
    ::mallopt(M_TOP_PAD, static_cast<int>(reserve));
    char* const before = static_cast<char*>(::sbrk(0));
    // Larger than the free space at the top of the heap, so that it must
    // grow; and taken from the heap whatever its size (a heap that already
    // has much free at its top would otherwise get a mapping of its own).
    const size_t size = ::mallinfo2().keepcost + 4096;
    ::mallopt(M_MMAP_MAX, 0);
    void* const grow = std::malloc(size);
    char* const after = static_cast<char*>(::sbrk(0));
    ::mallopt(M_MMAP_MAX, 65536);  // glibc's defaults again
    ::mallopt(M_TOP_PAD, 128 << 10);
    // Only where the block ends in the range the break just moved over: an
    // allocator that replaced glibc's, or a break that could not move, is
    // left alone.
    const auto at = reinterpret_cast<uintptr_t>(grow);
    const auto start = reinterpret_cast<uintptr_t>(before);
    const auto end = reinterpret_cast<uintptr_t>(after);
    constexpr uintptr_t kHugePage = 2 << 20;
    const uintptr_t from = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t to = end & ~(kHugePage - 1);
    if (grow != nullptr && at + size > start && at + size <= end && from < to)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    std::free(grow);
#else
    (void)bytes;
#endif
}

}  // namespace platform
