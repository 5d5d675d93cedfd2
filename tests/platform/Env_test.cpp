#include "platform/Env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using platform::Env;
using platform::FaultInjectionEnv;
using platform::FileKind;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(EnvTest, FileKindTellsFilesFoldersAndMissingApart) {
    TempDir dir;
    WriteFile(dir.File("f"), "x");
    FileKind kind;
    ASSERT_TRUE(Env::Real().GetFileKind(dir.File("f"), &kind).ok());
    EXPECT_EQ(FileKind::kFile, kind);
    ASSERT_TRUE(Env::Real().GetFileKind(dir.path(), &kind).ok());
    EXPECT_EQ(FileKind::kDirectory, kind);
    ASSERT_TRUE(Env::Real().GetFileKind(dir.File("none"), &kind).ok());
    EXPECT_EQ(FileKind::kMissing, kind);
}

TEST(EnvTest, CopyReplacesTheTargetAndLeavesNoTemporaryFile) {
    TempDir dir;
    WriteFile(dir.File("a"), std::string(200000, 'a'));
    WriteFile(dir.File("b"), "old");
    ASSERT_TRUE(platform::CopyWholeFile(Env::Real(), dir.File("a"), dir.File("b")).ok());
    EXPECT_EQ(std::string(200000, 'a'), ReadFile(dir.File("b")));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), testing_support::ListFolder(dir.path()));
}

TEST(EnvTest, TemporaryNamesAreFreshEveryTimeAndRecognisable) {
    TempDir dir;
    std::string first, second;
    std::unique_ptr<platform::WritableFile> a, b;
    ASSERT_TRUE(Env::Real().CreateTemp(dir.File("data"), &first, &a).ok());
    ASSERT_TRUE(Env::Real().CreateTemp(dir.File("data"), &second, &b).ok());
    EXPECT_NE(first, second);
    EXPECT_TRUE(platform::IsTempNameFor(platform::NameOf(first), "data")) << first;
    EXPECT_FALSE(platform::IsTempNameFor(platform::NameOf(first), "dat"));
    EXPECT_FALSE(platform::IsTempNameFor("data.xml.tmp", "data"));
    EXPECT_FALSE(platform::IsTempNameFor("data.tmp", "data"));
    EXPECT_TRUE(platform::IsTempNameFor("data.xml.Ab3dE9x0.tmp", "data.xml"));
}

TEST(EnvTest, ErrorsNameTheFileAndTheReason) {
    TempDir dir;
    std::unique_ptr<platform::ReadableFile> file;
    platform::Status status = Env::Real().OpenForRead(dir.File("none"), &file);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ("cannot open \"" + dir.File("none") + "\": No such file or directory",
              status.message());
    status = Env::Real().OpenForRead(dir.path(), &file);
    EXPECT_EQ("cannot open \"" + dir.path() + "\": Is a directory", status.message());
}

TEST(EnvTest, WriteFileAtomicallyKeepsTheOldContentsWhenAnyStepFails) {
    TempDir dir;
    WriteFile(dir.File("t"), "old contents");
    // create, write, flush, close, examine the target twice, set the
    // ownership, rename: make each fail in turn.
    const uint64_t kOperations = 8;
    for (uint64_t n = 1; n <= kOperations; ++n) {
        FaultInjectionEnv env(Env::Real());
        env.FailAt(n);
        EXPECT_FALSE(platform::WriteFileAtomically(env, dir.File("t"), "new contents").ok()) << n;
        EXPECT_EQ("old contents", ReadFile(dir.File("t"))) << n;
        EXPECT_EQ(std::vector<std::string>{"t"}, testing_support::ListFolder(dir.path())) << n;
    }
    FaultInjectionEnv env(Env::Real());
    ASSERT_TRUE(platform::WriteFileAtomically(env, dir.File("t"), "new contents").ok());
    EXPECT_EQ("new contents", ReadFile(dir.File("t")));
    EXPECT_EQ(kOperations, env.OperationCount());
}

TEST(FaultInjectionEnvTest, FailsOnceOrFromThenOn) {
    TempDir dir;
    FaultInjectionEnv once(Env::Real());
    once.FailAt(2);
    FileKind kind;
    EXPECT_TRUE(once.GetFileKind(dir.path(), &kind).ok());
    EXPECT_FALSE(once.GetFileKind(dir.path(), &kind).ok());
    EXPECT_TRUE(once.GetFileKind(dir.path(), &kind).ok());

    FaultInjectionEnv always(Env::Real());
    always.FailAt(2, true);
    EXPECT_TRUE(always.GetFileKind(dir.path(), &kind).ok());
    EXPECT_FALSE(always.GetFileKind(dir.path(), &kind).ok());
    EXPECT_FALSE(always.CreateDir(dir.File("d")).ok());
    EXPECT_FALSE(testing_support::Exists(dir.File("d")));
    EXPECT_EQ("3 mkdir " + dir.File("d"), always.Log().back());
}

TEST(FaultInjectionEnvTest, AFailingWriteIsTorn) {
    TempDir dir;
    FaultInjectionEnv env(Env::Real());
    env.FailAt(2);
    std::unique_ptr<platform::WritableFile> file;
    ASSERT_TRUE(env.CreateNew(dir.File("w"), &file).ok());
    EXPECT_FALSE(file->Write("abcdef").ok());
    EXPECT_TRUE(file->Close().ok());
    EXPECT_EQ("abc", ReadFile(dir.File("w")));
}

TEST(FaultInjectionEnvDeathTest, CrashAfterEndsTheProcessRightAfterTheOperation) {
    TempDir dir;
    EXPECT_EXIT(
        {
            FaultInjectionEnv env(Env::Real());
            env.CrashAfter(1);
            env.CreateDir(dir.File("made"));
            env.CreateDir(dir.File("never"));
        },
        ::testing::ExitedWithCode(FaultInjectionEnv::kCrashExitStatus), "");
    EXPECT_TRUE(testing_support::Exists(dir.File("made")));
    EXPECT_FALSE(testing_support::Exists(dir.File("never")));
}

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
    bool exists = false;
    EXPECT_FALSE(Env::Real().RenameNoReplace(dir.File("new"), dir.File("dangling"), &exists).ok());
    EXPECT_TRUE(exists);
    ASSERT_TRUE(Env::Real().RenameNoReplace(dir.File("new"), dir.File("moved"), &exists).ok());
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
    bool busy = true;
    ASSERT_TRUE(Env::Real().LockDir(dir.path(), &lock, &busy).ok());
    EXPECT_FALSE(busy);
    auto tryInChild = [&] {
        pid_t pid = ::fork();
        if (pid == 0) {
            std::unique_ptr<platform::FolderLock> other;
            bool otherBusy = false;
            platform::Status status = Env::Real().LockDir(dir.path(), &other, &otherBusy);
            ::_exit(status.ok() ? 0 : otherBusy ? 1 : 2);
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
