#include "platform/os/Memory.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

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

#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
namespace {

// Grows the heap by `step` bytes by moving the break (nothing is touched) and
// marks the range for huge pages before any of it is used. Returns the block
// that made it grow, to be freed once the heap is grown whole, or nullptr
// where it did not grow by moving the break (an allocator that replaced
// glibc's, a break that cannot move): then the heap is left as it is.
void* GrowMarked(uint64_t step, uint64_t* grown) {
    ::mallopt(M_TOP_PAD, static_cast<int>(step));
    char* const before = static_cast<char*>(::sbrk(0));
    // Larger than the free space at the top of the heap, so that it must
    // grow, and taken from the heap whatever its size.
    const size_t size = ::mallinfo2().keepcost + 4096;
    ::mallopt(M_MMAP_MAX, 0);
    void* const block = std::malloc(size);
    char* const after = static_cast<char*>(::sbrk(0));
    ::mallopt(M_MMAP_MAX, 65536);  // glibc's defaults again
    ::mallopt(M_TOP_PAD, 128 << 10);
    const auto at = reinterpret_cast<uintptr_t>(block);
    const auto start = reinterpret_cast<uintptr_t>(before);
    const auto end = reinterpret_cast<uintptr_t>(after);
    if (block == nullptr || at + size <= start || at + size > end) {
        std::free(block);
        return nullptr;
    }
    constexpr uintptr_t kHugePage = 2 << 20;
    const uintptr_t from = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t to = end & ~(kHugePage - 1);
    if (from < to)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    *grown = end - start;
    return block;
}

}  // namespace
#endif

void PrepareHeapFor(uint64_t bytes) {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    // A small journal converts in moments; its heap is left as it is.
    constexpr uint64_t kWorthIt = 128ull << 20;
    if (bytes < kWorthIt)
        return;
    // Blocks of the journal's size (the data file read and deciphered) come
    // from the heap, not from pages of their own that are mapped and faulted
    // afresh each time; and what is freed stays for the next block (-1: the
    // heap is never trimmed).
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the most glibc accepts
    ::mallopt(M_TRIM_THRESHOLD, -1);
    // A second thread takes its blocks from this heap too, not from an arena
    // of its own made of small pages; the run's threads allocate little at
    // the same time.
    ::mallopt(M_ARENA_MAX, 1);
    // The heap grows by the whole reserve, at most 1 GiB at a time (the
    // setting is an int); freed, the blocks that made it grow leave it free
    // for the run.
    constexpr uint64_t kStep = 1ull << 30;
    void* blocks[64];
    size_t count = 0;
    uint64_t grown = 0;
    while (grown < bytes && count < std::size(blocks)) {
        uint64_t step = 0;
        blocks[count] = GrowMarked(std::min(bytes - grown, kStep), &step);
        if (blocks[count] == nullptr)
            break;
        ++count;
        grown += step;
    }
    while (count > 0)
        std::free(blocks[--count]);
#else
    (void)bytes;
#endif
}

}  // namespace platform
