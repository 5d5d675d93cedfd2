// A journal too large for the memory the process may use is refused before
// anything in the folder changes; here the limit is a real one, set on the
// converter's process (RLIMIT_AS), as a 32-bit Windows sets its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// Runs the converter in `dir` with its address space limited to `megabytes`.
ProcessResult RunConverterWithin(const std::string& dir, int megabytes) {
    return RunProcess("/bin/sh",
                      {"-c", "ulimit -v " + std::to_string(megabytes * 1024) + " && exec \"$0\" pw",
                       JC_CONVERTER_PATH},
                      dir);
}

}  // namespace

TEST(MemoryLimitTest, AJournalTooLargeForTheProcessIsRefusedBeforeAnythingChanges) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
#endif
    TempDir large;
    // 64 MB of data file (sparse: only its size is read before the refusal).
    WriteFile(large.File("data"), "1");
    ASSERT_EQ(0, ::truncate(large.File("data").c_str(), 64 << 20));
    const ProcessResult refused = RunConverterWithin(large.path(), 512);
    EXPECT_EQ(1, refused.exitStatus);
    EXPECT_NE(std::string::npos, refused.err.find("the journal is too large for this program"))
        << refused.err;
    EXPECT_NE(std::string::npos, refused.err.find("The journal was not converted.")) << refused.err;
    EXPECT_EQ(std::vector<std::string>{"data"}, ListFolder(large.path()));

    // A journal of an ordinary size converts under the same limit.
    TempDir small;
    WriteEncipheredJournal(small.path(),
                           {{"home"}, {"back"}, {Record(39448.5f, 1, 1, 1, false, 3, "A dream.")}},
                           "pw");
    const ProcessResult converted = RunConverterWithin(small.path(), 512);
    EXPECT_EQ(0, converted.exitStatus) << converted.err;
}
