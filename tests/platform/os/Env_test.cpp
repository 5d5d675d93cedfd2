#include "platform/os/Env.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

using platform::Env;
using platform::FaultInjectionEnv;
using platform::FileKind;
using testing_support::OpenFolder;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(EnvTest, FileKindTellsFilesFoldersAndMissingApart) {
    TempDir dir;
    WriteFile(dir.File("f"), "x");
    testing_support::MakeFolder(dir.File("d"));
    auto folder = OpenFolder(dir.path());
    FileKind kind;
    ASSERT_TRUE(folder->GetFileKind("f", &kind).ok());
    EXPECT_EQ(FileKind::kFile, kind);
    ASSERT_TRUE(folder->GetFileKind("d", &kind).ok());
    EXPECT_EQ(FileKind::kDirectory, kind);
    ASSERT_TRUE(folder->GetFileKind("none", &kind).ok());
    EXPECT_EQ(FileKind::kMissing, kind);
}

TEST(EnvTest, CopyReplacesTheTargetAndLeavesNoTemporaryFile) {
    TempDir dir;
    WriteFile(dir.File("a"), std::string(200000, 'a'));
    WriteFile(dir.File("b"), "old");
    ASSERT_TRUE(platform::CopyWholeFile(*OpenFolder(dir.path()), "a", "b").ok());
    EXPECT_EQ(std::string(200000, 'a'), ReadFile(dir.File("b")));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), testing_support::ListFolder(dir.path()));
}

// Nothing is replaced unless a rename asks for it; names beyond ASCII come
// back from a listing as they went in.
TEST(EnvTest, OnlyARenameThatMayReplaceReplaces) {
    TempDir dir;
    const std::string dreams = "\xd0\xa1\xd0\xbd\xd1\x8b";  // "Сны"
    WriteFile(dir.File("taken"), "old");
    auto folder = OpenFolder(dir.path());
    std::unique_ptr<platform::WritableFile> out;
    EXPECT_EQ(platform::StatusCode::kExists, folder->CreateNew("taken", &out).code());
    ASSERT_TRUE(folder->CreateNew("new", &out).ok());
    ASSERT_TRUE(out->Write("new").ok());
    ASSERT_TRUE(out->Close().ok());
    EXPECT_EQ(platform::StatusCode::kExists, folder->RenameNoReplace("new", "taken").code());
    EXPECT_EQ("old", ReadFile(dir.File("taken")));
    ASSERT_TRUE(folder->RenameNoReplace("new", dreams).ok());
    std::vector<std::string> names;
    ASSERT_TRUE(folder->List(&names).ok());
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"taken", dreams}), names);
    ASSERT_TRUE(folder->RenameFile(dreams, "taken").ok());
    EXPECT_TRUE(folder->Sync().ok());
    EXPECT_EQ("new", ReadFile(dir.File("taken")));
    EXPECT_EQ(std::vector<std::string>{"taken"}, testing_support::ListFolder(dir.path()));
}

// Temporary names take the form the folder was given, and only names of
// that form made beside that file match it.
TEST(EnvTest, TemporaryNamesAreFreshEveryTimeAndRecognisable) {
    TempDir dir;
    auto folder = OpenFolder(dir.path());
    const platform::TempNameForm marked{".", ".mark-", ".tmp"};
    folder->SetTempNameForm(marked);
    std::string first, second;
    std::unique_ptr<platform::WritableFile> a, b;
    ASSERT_TRUE(folder->CreateTemp("data", &first, &a).ok());
    ASSERT_TRUE(folder->CreateTemp("data", &second, &b).ok());
    EXPECT_NE(first, second);
    EXPECT_EQ(0u, first.find(".data.mark-")) << first;
    EXPECT_TRUE(marked.Matches(first, "data")) << first;
    EXPECT_FALSE(marked.Matches(first, "dat"));
    EXPECT_FALSE(platform::TempNameForm().Matches(first, "data"));
    EXPECT_FALSE(marked.Matches(".data.mark-1234567.tmp", "data"));   // one short
    EXPECT_FALSE(marked.Matches(".data.mark-1234_678.tmp", "data"));  // not a letter
    EXPECT_TRUE(platform::TempNameForm().Matches("data.xml.Ab3dE9x0.tmp", "data.xml"));
    EXPECT_FALSE(platform::TempNameForm().Matches("data.xml.tmp", "data"));
}

TEST(EnvTest, ErrorsNameTheFileAndTheReason) {
    TempDir dir;
    testing_support::MakeFolder(dir.File("d"));
    auto folder = OpenFolder(dir.path());
    std::unique_ptr<platform::ReadableFile> file;
    platform::Status status = folder->OpenForRead("none", &file);
    EXPECT_EQ(platform::StatusCode::kNotFound, status.code());
    EXPECT_EQ(dir.File("none"), status.path());
    EXPECT_EQ("cannot open \"" + dir.File("none") + "\": " + testing_support::NoSuchFileText(),
              status.message());
    status = folder->OpenForRead("d", &file);
    EXPECT_EQ("cannot open \"" + dir.File("d") + "\": " + testing_support::FolderAsFileText(),
              status.message());
}

TEST(EnvTest, WriteFileAtomicallyKeepsTheOldContentsWhenAnyStepFails) {
    TempDir dir;
    WriteFile(dir.File("t"), "old contents");
    // open the folder, create, write, flush, close, examine the target
    // twice, set the ownership, rename: make each fail in turn.
    const uint64_t kOperations = 9;
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
    once.FailAt(3);
    std::unique_ptr<platform::Folder> folder;
    ASSERT_TRUE(once.OpenFolder(dir.path(), &folder).ok());
    FileKind kind;
    EXPECT_TRUE(folder->GetFileKind("f", &kind).ok());
    EXPECT_FALSE(folder->GetFileKind("f", &kind).ok());
    EXPECT_TRUE(folder->GetFileKind("f", &kind).ok());

    FaultInjectionEnv always(Env::Real());
    always.FailAt(3, true);
    ASSERT_TRUE(always.OpenFolder(dir.path(), &folder).ok());
    EXPECT_TRUE(folder->GetFileKind("f", &kind).ok());
    EXPECT_FALSE(folder->GetFileKind("f", &kind).ok());
    EXPECT_FALSE(folder->CreateDir("d").ok());
    EXPECT_FALSE(testing_support::Exists(dir.File("d")));
    EXPECT_EQ("4 mkdir " + dir.File("d"), always.Log().back());
}

// The file systems that keep no owners or permission bits, played: one
// refuses every change, the other takes it and keeps nothing.
TEST(FaultInjectionEnvTest, PlaysFileSystemsWithoutPermissions) {
    TempDir dir;
    WriteFile(dir.File("f"), "x");
    platform::FileOwnership ownership;
    ownership.known = true;
    ownership.mode = 0600;
    FaultInjectionEnv refusing(Env::Real());
    refusing.FailEvery("chown", platform::StatusCode::kNotSupported);
    std::unique_ptr<platform::Folder> folder;
    ASSERT_TRUE(refusing.OpenFolder(dir.path(), &folder).ok());
    EXPECT_EQ(platform::StatusCode::kNotSupported, folder->SetOwnership("f", ownership).code());
    EXPECT_TRUE(platform::KeepOwnership(*folder, "f", ownership).ok());
    EXPECT_TRUE(folder->GetOwnership("f", &ownership).ok());  // only the one operation fails

    FaultInjectionEnv ignoring(Env::Real());
    ignoring.KeepNoOwnership(0755);
    ASSERT_TRUE(ignoring.OpenFolder(dir.path(), &folder).ok());
    EXPECT_TRUE(folder->SetOwnership("f", platform::Private(ownership)).ok());
    ASSERT_TRUE(folder->GetOwnership("f", &ownership).ok());
    EXPECT_EQ(0755u, ownership.mode);
    EXPECT_FALSE(platform::IsPrivate(ownership));
}

TEST(FaultInjectionEnvTest, AFailingWriteIsTorn) {
    TempDir dir;
    FaultInjectionEnv env(Env::Real());
    env.FailAt(3);
    std::unique_ptr<platform::Folder> folder;
    ASSERT_TRUE(env.OpenFolder(dir.path(), &folder).ok());
    std::unique_ptr<platform::WritableFile> file;
    ASSERT_TRUE(folder->CreateNew("w", &file).ok());
    EXPECT_FALSE(file->Write("abcdef").ok());
    EXPECT_TRUE(file->Close().ok());
    EXPECT_EQ("abc", ReadFile(dir.File("w")));
}

TEST(FaultInjectionEnvDeathTest, CrashAfterEndsTheProcessRightAfterTheOperation) {
    TempDir dir;
    EXPECT_EXIT(
        {
            FaultInjectionEnv env(Env::Real());
            env.CrashAfter(2);
            std::unique_ptr<platform::Folder> folder;
            env.OpenFolder(dir.path(), &folder);
            folder->CreateDir("made");
            folder->CreateDir("never");
        },
        ::testing::ExitedWithCode(FaultInjectionEnv::kCrashExitStatus), "");
    EXPECT_TRUE(testing_support::Exists(dir.File("made")));
    EXPECT_FALSE(testing_support::Exists(dir.File("never")));
}
