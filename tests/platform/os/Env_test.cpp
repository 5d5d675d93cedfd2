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

// Nothing is replaced unless a rename asks for it; names beyond ASCII come
// back from a listing as they went in.
TEST(EnvTest, OnlyARenameThatMayReplaceReplaces) {
    TempDir dir;
    const std::string dreams = "\xd0\xa1\xd0\xbd\xd1\x8b";  // "Сны"
    WriteFile(dir.File("taken"), "old");
    std::unique_ptr<platform::WritableFile> out;
    EXPECT_EQ(platform::StatusCode::kExists, Env::Real().CreateNew(dir.File("taken"), &out).code());
    ASSERT_TRUE(Env::Real().CreateNew(dir.File("new"), &out).ok());
    ASSERT_TRUE(out->Write("new").ok());
    ASSERT_TRUE(out->Close().ok());
    EXPECT_EQ(platform::StatusCode::kExists,
              Env::Real().RenameNoReplace(dir.File("new"), dir.File("taken")).code());
    EXPECT_EQ("old", ReadFile(dir.File("taken")));
    ASSERT_TRUE(Env::Real().RenameNoReplace(dir.File("new"), dir.File(dreams)).ok());
    std::vector<std::string> names;
    ASSERT_TRUE(Env::Real().ListDir(dir.path(), &names).ok());
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"taken", dreams}), names);
    ASSERT_TRUE(Env::Real().RenameFile(dir.File(dreams), dir.File("taken")).ok());
    EXPECT_TRUE(Env::Real().SyncDir(dir.path()).ok());
    EXPECT_EQ("new", ReadFile(dir.File("taken")));
    EXPECT_EQ(std::vector<std::string>{"taken"}, testing_support::ListFolder(dir.path()));
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
    EXPECT_EQ(platform::StatusCode::kNotFound, status.code());
    EXPECT_EQ(dir.File("none"), status.path());
    EXPECT_EQ("cannot open \"" + dir.File("none") + "\": " + testing_support::NoSuchFileText(),
              status.message());
    status = Env::Real().OpenForRead(dir.path(), &file);
    EXPECT_EQ("cannot open \"" + dir.path() + "\": " + testing_support::FolderAsFileText(),
              status.message());
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
