// What Windows alone has: symbolic links that only some users may make, and
// a folder lock that is a file.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/os/Env.h"
#include "platform/os/windows/WindowsText.h"
#include "support/TestSupport.h"

using testing_support::OpenFolder;
using testing_support::TempDir;
using testing_support::WriteFile;

// A settings file that is a link to a file elsewhere is told as a link and
// never opened: its target is not read.
TEST(EnvTest, ALinkIsNeverOpenedAsTheFileItPointsTo) {
    TempDir dir, elsewhere;
    WriteFile(elsewhere.File("secret"), "not the journal's");
    const std::wstring link = platform::WidePath(dir.File("ini.txt"));
    CreateSymbolicLinkW(link.c_str(), platform::WidePath(elsewhere.File("secret")).c_str(),
                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        GTEST_SKIP() << "no symbolic link can be made here: Windows lets only an administrator "
                        "or developer mode make one, and Wine 8 says it made one and makes none";
    auto folder = OpenFolder(dir.path());
    platform::FileKind kind;
    ASSERT_TRUE(folder->GetFileKind("ini.txt", &kind).ok());
    EXPECT_EQ(platform::FileKind::kLink, kind);
    std::string bytes;
    const platform::Status status = platform::ReadSmallFile(*folder, "ini.txt", 1 << 20, &bytes);
    EXPECT_EQ(
        "cannot open \"" + dir.File("ini.txt") + "\": it is a symbolic link, which is not followed",
        status.message());
    EXPECT_EQ("", bytes);
}

// The lock is a hidden file: a folder in its place is in the way, and is no
// other run holding the folder.
TEST(EnvTest, AFolderWhereTheLockFileGoesIsNoOtherRun) {
    TempDir dir;
    testing_support::MakeFolder(dir.File("held.lock"));
    auto folder = OpenFolder(dir.path());
    std::unique_ptr<platform::FolderLock> lock;
    platform::LockHolder holder;
    const platform::Status status = folder->Lock("held.lock", &lock, &holder);
    EXPECT_TRUE(status.Is(platform::StatusCode::kExists)) << status.message();
    EXPECT_FALSE(holder.known);
    EXPECT_NE(std::string::npos, status.message().find("held.lock\" is in the way"))
        << status.message();
}
