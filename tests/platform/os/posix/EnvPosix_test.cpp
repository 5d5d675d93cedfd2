// What POSIX alone has: permission bits, symbolic links, FIFOs, and a lock
// that a forked process can try.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/os/Env.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using platform::Env;
using platform::FileKind;
using testing_support::ReadFile;
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
    WriteFile(dir.File("backup"), "older");
    ::chmod(dir.File("backup").c_str(), 0604);
    ASSERT_TRUE(platform::CopyWholeFile(Env::Real(), dir.File("journal"), dir.File("backup")).ok());
    EXPECT_EQ(0604, ModeOf(dir.File("backup")));
    ASSERT_TRUE(platform::CopyWholeFile(Env::Real(), dir.File("journal"), dir.File("copy")).ok());
    EXPECT_EQ(0600, ModeOf(dir.File("copy")));
    ASSERT_TRUE(platform::WriteFileAtomically(Env::Real(), dir.File("fresh"), "x").ok());
    EXPECT_EQ(0600, ModeOf(dir.File("fresh")));
}

// What another process, or a hostile neighbour, can put in the program's way.
TEST(EnvTest, NothingCreatedFollowsALinkAndNothingOddIsOpened) {
    TempDir dir, elsewhere;
    WriteFile(elsewhere.File("target"), "not yours");
    ASSERT_EQ(0, ::symlink(elsewhere.File("target").c_str(), dir.File("link").c_str()));
    ASSERT_EQ(0, ::symlink(elsewhere.File("none").c_str(), dir.File("dangling").c_str()));
    ASSERT_EQ(0, ::mkfifo(dir.File("fifo").c_str(), 0600));
    std::unique_ptr<platform::WritableFile> out;
    EXPECT_FALSE(Env::Real().CreateNew(dir.File("link"), &out).ok());
    EXPECT_FALSE(Env::Real().CreateNew(dir.File("dangling"), &out).ok());
    EXPECT_FALSE(testing_support::Exists(elsewhere.File("none")));
    // A rename replaces the link itself, never what it points at; one that
    // must not replace anything does not.
    WriteFile(dir.File("new"), "mine");
    EXPECT_EQ(platform::StatusCode::kExists,
              Env::Real().RenameNoReplace(dir.File("new"), dir.File("dangling")).code());
    ASSERT_TRUE(Env::Real().RenameNoReplace(dir.File("new"), dir.File("moved")).ok());
    ASSERT_TRUE(Env::Real().RenameFile(dir.File("moved"), dir.File("new")).ok());
    ASSERT_TRUE(Env::Real().RenameFile(dir.File("new"), dir.File("link")).ok());
    EXPECT_EQ("not yours", ReadFile(elsewhere.File("target")));

    FileKind kind;
    ASSERT_TRUE(Env::Real().GetFileKind(dir.File("dangling"), &kind).ok());
    EXPECT_EQ(FileKind::kLink, kind);
    ASSERT_TRUE(Env::Real().GetFileKind(dir.File("fifo"), &kind).ok());
    EXPECT_EQ(FileKind::kOther, kind);
    std::string target;
    ASSERT_TRUE(Env::Real().ReadLink(dir.File("dangling"), &target).ok());
    EXPECT_EQ(elsewhere.File("none"), target);
    // No writer ever comes to this FIFO: opening it must not wait for one.
    std::unique_ptr<platform::ReadableFile> in;
    platform::Status status = Env::Real().OpenForRead(dir.File("fifo"), &in);
    EXPECT_EQ("cannot open \"" + dir.File("fifo") + "\": not a regular file", status.message());
}

TEST(EnvTest, TheFolderLockExcludesAnotherProcessUntilItsHolderDies) {
    TempDir dir;
    std::unique_ptr<platform::FolderLock> lock;
    ASSERT_TRUE(Env::Real().LockDir(dir.path(), "lock", &lock).ok());
    auto tryInChild = [&] {
        pid_t pid = ::fork();
        if (pid == 0) {
            std::unique_ptr<platform::FolderLock> other;
            platform::Status status = Env::Real().LockDir(dir.path(), "lock", &other);
            ::_exit(status.ok() ? 0 : status.Is(platform::StatusCode::kBusy) ? 1 : 2);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WEXITSTATUS(status);
    };
    EXPECT_EQ(1, tryInChild());
    lock.reset();
    EXPECT_EQ(0, tryInChild());
    EXPECT_EQ(std::vector<std::string>{}, testing_support::ListFolder(dir.path()));
}
