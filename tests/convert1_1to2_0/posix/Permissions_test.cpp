// The converter and permission bits, which Windows does not have.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestSupport.h"

using namespace testing_support;

TEST(ConversionTest, APrivateJournalStaysPrivate) {
    TempDir dir;
    WriteFile(dir.File("data"), ReadFile(DataFile("cipher/journals/sample/current/data")));
    ::chmod(dir.File("data").c_str(), 0600);
    ASSERT_EQ("Done", RunConverter(dir.path(), {"dream"}).out);
    for (const char* name : {"data", "_data"}) {
        struct stat st {};
        ASSERT_EQ(0, ::stat(dir.File(name).c_str(), &st));
        EXPECT_EQ(0600u, st.st_mode & 0777u) << name;
    }
}
