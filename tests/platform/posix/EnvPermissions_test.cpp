// Permission bits, which Windows does not have.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Env.h"
#include "support/TestSupport.h"

using platform::Env;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(0, ::stat(path.c_str(), &st)) << path;
    return st.st_mode & 07777;
}
}  // namespace

TEST(EnvTest, NewFilesArePrivateAndReplacementsKeepThePermissions) {
    TempDir dir;
    WriteFile(dir.File("journal"), "old");
    ::chmod(dir.File("journal").c_str(), 0640);
    ASSERT_TRUE(platform::WriteFileAtomically(Env::Real(), dir.File("journal"), "new").ok());
    EXPECT_EQ(0640, ModeOf(dir.File("journal")));
    ASSERT_TRUE(Env::Real().CopyFile(dir.File("journal"), dir.File("backup")).ok());
    EXPECT_EQ(0640, ModeOf(dir.File("backup")));
    ASSERT_TRUE(platform::WriteFileAtomically(Env::Real(), dir.File("fresh"), "x").ok());
    EXPECT_EQ(0600, ModeOf(dir.File("fresh")));
}
