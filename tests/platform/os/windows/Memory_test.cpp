#include "platform/os/Memory.h"

#include <gtest/gtest.h>

// What the running Windows lets this program address: a 32-bit program is
// linked large-address-aware, so it gets 4 GiB on a 64-bit Windows (2 GiB, or
// 3 GiB with /3GB, on a 32-bit one); a 64-bit program gets terabytes.
TEST(MemoryWindowsTest, TheAddressSpaceIsWhatTheProgramsWidthAllows) {
    const uint64_t usable = platform::UsableAddressSpace();
    if (sizeof(void*) == 4) {
        EXPECT_GE(usable, (2ull << 30) - (1ull << 20));
        EXPECT_LE(usable, 4ull << 30);
    } else {
        EXPECT_GT(usable, 1ull << 40);
    }
}
