// What POSIX alone has: permission bits, symbolic links, FIFOs, and a lock
// that a forked process can try.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/os/Env.h"
#include "support/Journals.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

using platform::Env;
using platform::FileKind;
using testing_support::OpenFolder;
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
    auto folder = OpenFolder(dir.path());
    WriteFile(dir.File("journal"), "old");
    ::chmod(dir.File("journal").c_str(), 0640);
    ASSERT_TRUE(platform::WriteFileAtomically(*folder, "journal", "new").ok());
    EXPECT_EQ(0640, ModeOf(dir.File("journal")));
    WriteFile(dir.File("backup"), "older");
    ::chmod(dir.File("backup").c_str(), 0604);
    ASSERT_TRUE(platform::CopyWholeFile(*folder, "journal", "backup").ok());
    EXPECT_EQ(0604, ModeOf(dir.File("backup")));
    ASSERT_TRUE(platform::CopyWholeFile(*folder, "journal", "copy").ok());
    EXPECT_EQ(0600, ModeOf(dir.File("copy")));
    ASSERT_TRUE(platform::WriteFileAtomically(*folder, "fresh", "x").ok());
    EXPECT_EQ(0600, ModeOf(dir.File("fresh")));
}

// What another process, or a hostile neighbour, can put in the program's way.
TEST(EnvTest, NothingCreatedFollowsALinkAndNothingOddIsOpened) {
    TempDir dir, elsewhere;
    WriteFile(elsewhere.File("target"), "not yours");
    ASSERT_EQ(0, ::symlink(elsewhere.File("target").c_str(), dir.File("link").c_str()));
    ASSERT_EQ(0, ::symlink(elsewhere.File("none").c_str(), dir.File("dangling").c_str()));
    ASSERT_EQ(0, ::mkfifo(dir.File("fifo").c_str(), 0600));
    auto folder = OpenFolder(dir.path());
    std::unique_ptr<platform::WritableFile> out;
    EXPECT_FALSE(folder->CreateNew("link", &out).ok());
    EXPECT_FALSE(folder->CreateNew("dangling", &out).ok());
    EXPECT_FALSE(testing_support::Exists(elsewhere.File("none")));
    // Nothing is read, examined or changed through a link.
    std::unique_ptr<platform::ReadableFile> in;
    platform::Status status = folder->OpenForRead("link", &in);
    EXPECT_EQ(platform::StatusCode::kExists, status.code());
    EXPECT_EQ(
        "cannot open \"" + dir.File("link") + "\": it is a symbolic link, which is not followed",
        status.message());
    platform::FileOwnership ownership;
    EXPECT_FALSE(folder->GetOwnership("link", &ownership).ok());
    ::chmod(elsewhere.File("target").c_str(), 0600);
    ownership.known = true;
    ownership.mode = 0666;
    ownership.owner = ::getuid();
    ownership.group = ::getgid();
    EXPECT_FALSE(folder->SetOwnership("link", ownership).ok());
    EXPECT_EQ(0600, ModeOf(elsewhere.File("target")));
    // A rename replaces the link itself, never what it points at; one that
    // must not replace anything does not.
    WriteFile(dir.File("new"), "mine");
    EXPECT_EQ(platform::StatusCode::kExists, folder->RenameNoReplace("new", "dangling").code());
    ASSERT_TRUE(folder->RenameNoReplace("new", "moved").ok());
    ASSERT_TRUE(folder->RenameFile("moved", "new").ok());
    ASSERT_TRUE(folder->RenameFile("new", "link").ok());
    EXPECT_EQ("not yours", ReadFile(elsewhere.File("target")));

    FileKind kind;
    ASSERT_TRUE(folder->GetFileKind("dangling", &kind).ok());
    EXPECT_EQ(FileKind::kLink, kind);
    ASSERT_TRUE(folder->GetFileKind("fifo", &kind).ok());
    EXPECT_EQ(FileKind::kOther, kind);
    std::string target;
    ASSERT_TRUE(folder->ReadLink("dangling", &target).ok());
    EXPECT_EQ(elsewhere.File("none"), target);
    // No writer ever comes to this FIFO: opening it must not wait for one.
    status = folder->OpenForRead("fifo", &in);
    EXPECT_EQ("cannot open \"" + dir.File("fifo") + "\": not a regular file", status.message());
}

// Moved, or renamed, the folder held open is still the one worked in, and
// its messages say where it is now; a new folder at the old path is not
// touched.
TEST(EnvTest, AFolderHeldOpenIsFollowedWhereverItIsMoved) {
    TempDir root;
    testing_support::MakeFolder(root.File("journal"));
    auto folder = OpenFolder(root.File("journal"));
    ASSERT_EQ(0, ::rename(root.File("journal").c_str(), root.File("moved").c_str()));
    testing_support::MakeFolder(root.File("journal"));
    ASSERT_TRUE(platform::WriteFileAtomically(*folder, "data", "x").ok());
    EXPECT_EQ("x", ReadFile(root.File("moved/data")));
    EXPECT_EQ(std::vector<std::string>{}, testing_support::ListFolder(root.File("journal")));
    EXPECT_EQ(root.File("journal"), folder->openedAt());
    EXPECT_EQ(root.File("moved"), folder->Location());
    std::unique_ptr<platform::ReadableFile> in;
    EXPECT_EQ(
        "cannot open \"" + root.File("moved/none") + "\": " + testing_support::NoSuchFileText(),
        folder->OpenForRead("none", &in).message());
}

// Extended attributes (an access control list is one) pass to a file that
// replaces another with its owner and mode; a private copy gets none.
TEST(EnvTest, ExtendedAttributesPassOnWithTheOwnership) {
    TempDir dir;
    WriteFile(dir.File("journal"), "old");
    if (::setxattr(dir.File("journal").c_str(), "user.note", "kept", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes on this file system";
    auto folder = OpenFolder(dir.path());
    ASSERT_TRUE(platform::WriteFileAtomically(*folder, "journal", "new").ok());
    char value[16] = {};
    EXPECT_EQ(4, ::getxattr(dir.File("journal").c_str(), "user.note", value, sizeof value));
    EXPECT_EQ(std::string("kept"), value);
    platform::FileOwnership ownership;
    ASSERT_TRUE(folder->GetOwnership("journal", &ownership).ok());
    EXPECT_EQ(1u, ownership.attributes.size());
    EXPECT_TRUE(platform::Private(ownership).attributes.empty());
}

TEST(EnvTest, TheFolderLockExcludesAnotherProcessUntilItsHolderDies) {
    TempDir dir;
    std::unique_ptr<platform::FolderLock> lock;
    platform::LockHolder holder;
    ASSERT_TRUE(OpenFolder(dir.path())->Lock("lock", &lock, &holder).ok());
    auto tryInChild = [&] {
        pid_t pid = ::fork();
        if (pid == 0) {
            std::unique_ptr<platform::FolderLock> other;
            platform::LockHolder held;
            platform::Status status = OpenFolder(dir.path())->Lock("lock", &other, &held);
            // The holder is this very program, in another process.
            const bool told = held.known && held.sameProgram && held.process == ::getppid();
            ::_exit(status.ok() ? 0 : status.Is(platform::StatusCode::kBusy) && told ? 1 : 2);
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
