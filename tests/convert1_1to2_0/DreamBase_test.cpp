#include "convert1_1to2_0/DreamBase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

const std::string kEmptyJournal = "0\x02PLACE\x03POSITION\x03RECORD\x03";

// A legacy store opened in its own folder, as the converter opens it.
class DreamBaseTest : public ::testing::Test {
  protected:
    std::unique_ptr<TDreamBase> Open(const std::string& password, platform::Status* status) {
        ScopedCurrentDir cd(dir.path());
        TDreamBase::Options options;
        options.password = password;
        std::unique_ptr<TDreamBase> base;
        *status = TDreamBase::Open(options, reporter, &base);
        return base;
    }
    std::unique_ptr<TDreamBase> Open(const std::string& password = "") {
        platform::Status status;
        auto base = Open(password, &status);
        EXPECT_TRUE(status.ok()) << status.message();
        return base;
    }
    // Closes the store as a run that succeeds does.
    void Close(std::unique_ptr<TDreamBase> base) {
        ScopedCurrentDir cd(dir.path());
        base->Close();
        base->RotateBackups();
        base->CreateSettingsFileIfMissing();
    }

    TempDir dir;
    RecordingReporter reporter;
};

}  // namespace

TEST_F(DreamBaseTest, WritesBackInTextModeWithLucidAsOne) {
    const std::string plain =
        "1\x02PLACE\x03POSITION\x03RECORD\x03"
        "1.5\x01"
        "0\x01"
        "0\x01"
        "0\x01"
        "2\x01"
        "0\x01"
        "a\r\nb\x02";
    WriteFile(dir.File("data"), plain);
    Close(Open());
    EXPECT_EQ(
        "1\x02PLACE\x03POSITION\x03RECORD\x03"
        "1.5\x01"
        "0\x01"
        "0\x01"
        "0\x01"
        "1\x01"
        "0\x01"
        "a\r\nb\x02",
        Decipher(dir.File("data"), ""));
    EXPECT_EQ(plain, ReadFile(dir.File("_data")));
}

TEST_F(DreamBaseTest, PlainFileTestNeedsDigitsFirstAndPlaceEarly) {
    WriteFile(dir.File("data"), "12\x02PLACE\x03POSITION\x03RECORD\x03");
    platform::Status status;
    EXPECT_NE(nullptr, Open("", &status));
    EXPECT_TRUE(status.ok());

    for (const std::string& notPlain : {std::string("PLACE\x03POSITION\x03RECORD\x03"),
                                        std::string("0\x02xxxxxxxxxxxxxPLACE\x03")}) {
        RecordingReporter said;
        WriteFile(dir.File("data"), notPlain);
        ScopedCurrentDir cd(dir.path());
        std::unique_ptr<TDreamBase> base;
        EXPECT_EQ(platform::StatusCode::kWrongKey,
                  TDreamBase::Open(TDreamBase::Options(), said, &base).code());
        EXPECT_EQ(nullptr, base);
        EXPECT_EQ("Wrong password!\n", said.out());
        EXPECT_EQ(std::vector<std::string>{"data"}, ListFolder(dir.path()));
    }
}

TEST_F(DreamBaseTest, WithoutADataFileANewEmptyJournalIsWrittenOnClose) {
    Close(Open("secret"));
    EXPECT_EQ(kEmptyJournal, Decipher(dir.File("data"), "secret"));
    EXPECT_EQ((std::vector<std::string>{"data", "ini"}), ListFolder(dir.path()));
}

TEST_F(DreamBaseTest, WithoutCloseTheDataFileIsPutBackAsFound) {
    WriteFile(dir.File("data"), kEmptyJournal);
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw", CipherScheme::kEarly));
    const std::string enciphered = ReadFile(dir.File("data"));
    Open("pw").reset();  // the run failed before the store was closed
    EXPECT_EQ(enciphered, ReadFile(dir.File("data")));
    EXPECT_FALSE(Exists(dir.File("dataX")));
}

TEST_F(DreamBaseTest, WorkingCopyLeftByAnInterruptedRunIsPutBackOnlyOverItsOwnText) {
    WriteFile(dir.File("data"), kEmptyJournal);
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw"));
    const std::string enciphered = ReadFile(dir.File("data"));
    // The run stopped while the data file lay deciphered.
    WriteFile(dir.File("dataX"), enciphered);
    WriteFile(dir.File("data"), kEmptyJournal);
    Close(Open("pw"));
    EXPECT_EQ("Warning: \"" + dir.File("data") +
                  "\" lay deciphered, left so by an interrupted run; its enciphered form \"" +
                  dir.File("dataX") + "\" is put back in its place\n",
              reporter.err());
    EXPECT_EQ(enciphered, ReadFile(dir.File("_data")));
    EXPECT_EQ(kEmptyJournal, Decipher(dir.File("data"), "pw"));
    EXPECT_FALSE(Exists(dir.File("dataX")));

    // Another plain journal in the data file than the copy's: it is the one
    // opened, and the copy is kept beside it.
    TempDir other;
    WriteFile(other.File("dataX"), kEmptyJournal);
    WriteFile(other.File("data"), "0\x02PLACE\x03home\x02POSITION\x03RECORD\x03");
    ScopedCurrentDir cd(other.path());
    std::unique_ptr<TDreamBase> base;
    ASSERT_TRUE(TDreamBase::Open(TDreamBase::Options(), reporter, &base).ok());
    EXPECT_EQ(std::vector<std::string>{"home"}, base->GetPlaces());
    EXPECT_EQ(kEmptyJournal, ReadFile(other.File("data.interrupted")));
}

TEST_F(DreamBaseTest, DataFileThatIsAFolderIsAnError) {
    std::filesystem::create_directory(dir.File("data"));
    platform::Status status;
    try {
        Open("", &status);
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ("data file \"" + dir.File("data") + "\" is a folder, not a file",
                  std::string(error.what()));
        EXPECT_EQ(platform::StatusCode::kExists, error.status().code());
    }
}

// The number of the first logged operation that contains all of `parts`, in
// a run of `run` over a counting file system.
uint64_t OperationNumber(const std::function<void()>& run, const std::vector<std::string>& parts) {
    platform::FaultInjectionEnv counter(platform::Env::Real());
    {
        platform::ScopedEnv scoped(counter);
        run();
    }
    for (const std::string& line : counter.Log()) {
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        if (all)
            return std::stoull(line);
    }
    return 0;
}

// Moving the backups on comes after the journal is safely enciphered again:
// its failure is an error that says so, and the journal is whole in "data".
TEST_F(DreamBaseTest, BackupsThatCannotMoveOnAreAnErrorAndKeepTheJournal) {
    WriteFile(dir.File("data"), kEmptyJournal);
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw"));
    const std::string enciphered = ReadFile(dir.File("data"));
    WriteFile(dir.File("_data"), "older");
    for (const char* step : {"_data -> ", "dataX -> "}) {
        const uint64_t rename = OperationNumber([&] { Close(Open("pw")); }, {" rename ", step});
        ASSERT_NE(0u, rename) << step;
        for (const std::string& name : ListFolder(dir.path()))  // as before the counted run
            std::filesystem::remove(dir.File(name));
        WriteFile(dir.File("data"), enciphered);
        WriteFile(dir.File("_data"), "older");
        platform::FaultInjectionEnv env(platform::Env::Real());
        env.FailAt(rename);
        platform::ScopedEnv scoped(env);
        const std::string error = ErrorOf<platform::Error>([&] { Close(Open("pw")); });
        EXPECT_NE(std::string::npos, error.find("; the journal was converted and its data file "
                                                "enciphered again, but the backups \"_data\" and "
                                                "\"__data\" did not move on"))
            << error;
        EXPECT_EQ(enciphered, ReadFile(dir.File("data"))) << step;
        EXPECT_FALSE(Exists(dir.File("dataX"))) << step;
    }
}

TEST_F(DreamBaseTest, BackupsMoveOnOnlyWhenTheJournalIsSafelyClosed) {
    WriteFile(dir.File("data"), kEmptyJournal);
    ASSERT_TRUE(EncryptFile(dir.File("data"), "pw"));
    const std::string enciphered = ReadFile(dir.File("data"));
    WriteFile(dir.File("_data"), "older");
    WriteFile(dir.File("__data"), "oldest");
    Open("pw").reset();  // the run failed before closing
    EXPECT_EQ("older", ReadFile(dir.File("_data")));
    EXPECT_EQ("oldest", ReadFile(dir.File("__data")));
    Close(Open("pw"));
    EXPECT_EQ(enciphered, ReadFile(dir.File("_data")));
    EXPECT_EQ("older", ReadFile(dir.File("__data")));
}

TEST_F(DreamBaseTest, NewJournalThatCannotBeEncipheredIsNotLeftPlain) {
    const uint64_t encipher =
        OperationNumber([&] { Close(Open("pw")); }, {" create ", dir.File("data__.")});
    ASSERT_NE(0u, encipher);
    std::filesystem::remove(dir.File("data"));
    std::filesystem::remove(dir.File("ini"));
    platform::FaultInjectionEnv env(platform::Env::Real());
    env.FailAt(encipher);
    platform::ScopedEnv scoped(env);
    auto base = Open("pw");
    EXPECT_THROW(Close(std::move(base)), platform::Error);
    // A plain "data" would be refused as a wrong password by every later run.
    EXPECT_FALSE(Exists(dir.File("data")));
}

TEST_F(DreamBaseTest, NamesWithLineBreaksKeepThem) {
    const std::string plain =
        "0\x02PLACE\x03"
        "a\r\nb\x02POSITION\x03"
        "c\r\nd\x02RECORD\x03";
    WriteFile(dir.File("data"), plain);
    Close(Open());
    Close(Open());
    EXPECT_EQ(plain, Decipher(dir.File("data"), ""));
}

TEST_F(DreamBaseTest, RecordIndexOutsideTheJournalIsFatal) {
    WriteFile(dir.File("data"), kEmptyJournal);
    auto base = Open();
    EXPECT_DEATH(base->GetRecord(0), "file convert1_1to2_0/DreamBase, line 406");
}
