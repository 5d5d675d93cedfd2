#include "convert1_1to2_0/MemoryCheck.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "support/TestSupport.h"

using testing_support::ErrorOf;

namespace {

constexpr uint64_t kMB = 1ull << 20;
constexpr uint64_t kGB = 1ull << 30;

}  // namespace

// A 32-bit program addresses 2 GiB, or 4 GiB when large-address-aware on a
// 64-bit Windows; a 64-bit one terabytes. The 1,000,000-record journal of the
// benchmark (a 250 MB data file) is refused by the 32-bit program, one of
// 900,000 (213 MB) taken; a journal of some thousands fits everywhere.
TEST(MemoryCheckTest, JournalsThatDoNotFitAreRefusedWithTheProgramToUse) {
    struct Case {
        uint64_t dataFileSize;
        uint64_t addressSpace;
        int pointerBits;
        bool fits;
    } cases[] = {
        {2 * kMB, 2 * kGB, 32, true},        {100 * kMB, 4 * kGB, 32, true},
        {100 * kMB, 2 * kGB, 32, true},      {120 * kMB, 2 * kGB, 32, false},
        {213 * kMB, 4 * kGB, 32, true},      {250 * kMB, 4 * kGB, 32, false},
        {250 * kMB, 128ull << 40, 64, true}, {250 * kMB, UINT64_MAX, 64, true},
        {UINT64_MAX, UINT64_MAX, 64, false},  // no overflow into "fits"
        {64 * kMB, 512 * kMB, 64, false},     // a process limit (RLIMIT_AS)
    };
    for (const Case& c : cases) {
        const std::string error = ErrorOf<platform::Error>([&] {
            CheckJournalFitsInMemory("data", c.dataFileSize, c.addressSpace, c.pointerBits);
        });
        EXPECT_EQ(c.fits, error == "(no error)")
            << c.dataFileSize << " " << c.addressSpace << " " << error;
    }
    const std::string error = ErrorOf<platform::Error>(
        [] { CheckJournalFitsInMemory("J/data", 250 * kMB, 4 * kGB, 32); });
    // Both limits are said: the need, 3564 MB, is below the whole 4096 MB.
    EXPECT_NE(std::string::npos,
              error.find("converting \"J/data\" (250 MB) needs about 3564 MB of memory, more than "
                         "the 32-bit program may use (3072 MB of the 4096 MB it can address); "
                         "convert it on a 64-bit Windows with the 64-bit program, the "
                         "convert1_1to2_0.exe of convert1_1to2_0-"))
        << error;
    EXPECT_NE(std::string::npos, error.find("-win64.zip")) << error;
    EXPECT_LT(EstimatedConversionMemory(1 * kMB, 64), EstimatedConversionMemory(2 * kMB, 64));
}
