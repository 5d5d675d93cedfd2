// A large run's heap is backed by huge pages where the system gives them to
// those who ask (a third of a 100,000-record conversion went to page faults
// without). Seen in the kernel's own account of the mapping, /proc/self/smaps.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/os/Memory.h"

namespace {

bool HugePagesOnRequest() {
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string text;
    std::getline(mode, text);
    return text.find("[madvise]") != std::string::npos ||
           text.find("[always]") != std::string::npos;
}

// The VmFlags of the mapping holding `address`, as the kernel reports them.
std::string MappingFlags(const void* address) {
    const auto at = reinterpret_cast<uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> from >> dash >> to && dash == '-')
            inside = from <= at && at < to;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return "";
}

}  // namespace

TEST(PrepareHeapTest, ALargeRunsBlocksLieInMemoryMarkedForHugePages) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator replaces the one being prepared";
#endif
    if (!HugePagesOnRequest())
        GTEST_SKIP() << "this system gives no transparent huge pages on request";
    // In a child, whose heap settings go with it.
    const pid_t pid = ::fork();
    if (pid == 0) {
        platform::PrepareHeapFor(512ull << 20);
        // A block the size of a large journal's data file (its first pages
        // may be those the heap had before).
        char* large = static_cast<char*>(std::malloc(24 << 20));
        ::_exit(MappingFlags(large + (12 << 20)).find(" hg") != std::string::npos ? 0 : 1);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(0, status) << "the block is not in memory marked for huge pages";
}
