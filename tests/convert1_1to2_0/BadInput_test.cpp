// Malformed journals and unkind folders. Each gets a clear message, and the
// journal as it was found is never lost: it stays in "data" or is the backup
// "_data", byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "support/ChildRun.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

enum class Expect { kConverted, kWrongPassword, kError };

struct BadInputCase {
    std::string name;
    std::function<void(const std::string& dir)> setUp;
    std::vector<std::string> args;
    Expect expect;
    std::string errContains;  // for kError, and warnings of kConverted
    bool readOnlyFolder = false;
};

const std::string kSmallJournal =
    "2\x02PLACE\x03\xe4\xee\xec\x02POSITION\x03"
    "back\x02RECORD\x03"
    "39448.5\x01"
    "1\x01"
    "1\x01"
    "1\x01"
    "0\x01"
    "3\x01"
    "first\r\nline\x02"
    "39449\x01"
    "2\x01"
    "0\x01"
    "0\x01"
    "1\x01"
    "4\x01"
    "[OC]second[/OC]\x02";

void RunCase(const BadInputCase& c) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    c.setUp(dir.path());
    const bool hadData = fs::is_regular_file(dir.File("data"));
    const std::string data = hadData ? ReadFile(dir.File("data")) : "";
    FaultPlan readOnly;
    readOnly.readOnly = true;
    ProcessResult run = c.readOnlyFolder ? RunProgramInChild(dir.path(), c.args, readOnly)
                                         : RunConverter(dir.path(), c.args);
    switch (c.expect) {
        case Expect::kConverted:
            EXPECT_EQ(0, run.exitStatus);
            EXPECT_EQ("Done", run.out);
            EXPECT_TRUE(Exists(dir.File("data.xml")));
            break;
        case Expect::kWrongPassword:
            EXPECT_EQ(2, run.exitStatus);
            EXPECT_EQ("Wrong password!\nError converting file\nDone", run.out);
            break;
        case Expect::kError:
            EXPECT_NE(0, run.exitStatus);
            EXPECT_EQ("", run.out);
            EXPECT_NE("", run.err);
            break;
    }
    EXPECT_NE(std::string::npos, run.err.find(c.errContains)) << run.err;
    if (hadData) {
        const bool inData = ReadFile(dir.File("data")) == data;
        const bool inBackup = Exists(dir.File("_data")) && ReadFile(dir.File("_data")) == data;
        EXPECT_TRUE(inData || inBackup) << "the journal as found is gone";
        if (c.expect != Expect::kConverted) {
            EXPECT_TRUE(inData) << "a failed run changed data";
        }
    }
    EXPECT_FALSE(Exists(dir.File("dataX")));
}

void WriteData(const std::string& dir, const std::string& bytes) {
    WriteFile(dir + "/data", bytes);
}

}  // namespace

TEST(BadInputTest, TruncatedJournalsAtEveryLength) {
    const size_t recordsStart = kSmallJournal.find("RECORD\x03") + 7;
    for (size_t length = 0; length < kSmallJournal.size(); ++length) {
        const std::string cut = kSmallJournal.substr(0, length);
        // Plain, opened with the empty password.
        TempDir dir;
        WriteData(dir.path(), cut);
        ProcessResult run = RunConverter(dir.path());
        const std::string context = "length " + std::to_string(length) + ": " + run.out + run.err;
        const bool converted = run.exitStatus == 0 && run.out == "Done";
        const bool wrong = run.exitStatus == 2 && run.out.find("Wrong password!") == 0;
        const bool error = run.exitStatus == 1 && run.out.empty() && !run.err.empty();
        EXPECT_TRUE(converted || wrong || error) << context;
        EXPECT_TRUE(ReadFile(dir.File(converted ? "_data" : "data")) == cut) << context;
        if (length > recordsStart) {
            // Cut among the records: a record the end of the file cuts short
            // is the user's text too, kept and warned about.
            const std::string records = cut.substr(recordsStart);
            const bool cutShort = records.back() != '\x02';
            const size_t kept = std::count(records.begin(), records.end(), '\x02') + cutShort;
            const std::string document = converted ? ReadFile(dir.File("data.xml")) : "";
            size_t dreams = 0;
            for (size_t at = document.find("<Dream>"); at != std::string::npos;
                 at = document.find("<Dream>", at + 1))
                ++dreams;
            EXPECT_TRUE(converted) << context;
            EXPECT_EQ(kept, dreams) << context;
            EXPECT_EQ(cutShort,
                      run.err.find("the file ends inside it; kept as read") != std::string::npos)
                << context;
        }

        // Enciphered, then cut: the cipher text no longer opens.
        TempDir enciphered;
        WriteData(enciphered.path(), kSmallJournal);
        ASSERT_TRUE(EncryptFile(enciphered.File("data"), "pw"));
        const std::string cipherText = ReadFile(enciphered.File("data"));
        if (length >= cipherText.size())
            continue;
        WriteData(enciphered.path(), cipherText.substr(0, length));
        run = RunConverter(enciphered.path(), {"pw"});
        if (length == 0) {
            EXPECT_EQ(1, run.exitStatus) << length;
        } else {
            EXPECT_EQ("Wrong password!\nError converting file\nDone", run.out) << length;
            EXPECT_EQ(2, run.exitStatus) << length;
        }
        EXPECT_EQ(cipherText.substr(0, length), ReadFile(enciphered.File("data"))) << length;
    }
}

TEST(BadInputTest, MalformedJournalsAndFolders) {
    const std::string bigText(10 * 1024 * 1024, '\xe0');
    const std::string longPassword(10000, 'k');
    const std::vector<BadInputCase> cases = {
        {"count is not a number",
         [](const std::string& d) { WriteData(d, "12a\x02PLACE\x03POSITION\x03RECORD\x03"); },
         {},
         Expect::kError,
         "the record count \"12a\" is not a number"},
        // Ten digits push "PLACE" out of the first 15 bytes: not a journal.
        {"count beyond any journal",
         [](const std::string& d) {
             WriteData(d, "99999999999\x02PLACE\x03POSITION\x03RECORD\x03");
         },
         {},
         Expect::kWrongPassword,
         ""},
        {"count far larger than the records",
         [](const std::string& d) { WriteData(d, "99999999" + kSmallJournal.substr(1)); },
         {},
         Expect::kConverted,
         "states 99999999 records but holds 2"},
        {"negative count",
         [](const std::string& d) {
             WriteData(d,
                       "1\x02PLACE\x03POSITION\x03RECORD\x03"
                       "1\x01"
                       "0\x01"
                       "0\x01"
                       "0\x01"
                       "0\x01"
                       "0\x01"
                       "t\x02");
             std::string bytes = ReadFile(d + "/data");
             WriteData(d, "-" + bytes);
         },
         {},
         Expect::kWrongPassword,  // no digit first: not a journal
         ""},
        {"records without separators",
         [](const std::string& d) {
             WriteData(d, "2\x02PLACE\x03POSITION\x03RECORD\x03just some text\x02more text\x02");
         },
         {},
         Expect::kConverted,
         "record 1: has 1 of its 7 fields"},
        {"a 10 MB record text",
         [&](const std::string& d) {
             WriteData(d,
                       "1\x02PLACE\x03POSITION\x03RECORD\x03"
                       "1\x01"
                       "0\x01"
                       "0\x01"
                       "0\x01"
                       "0\x01"
                       "0\x01" +
                           bigText + "\x02");
             ASSERT_TRUE(EncryptFile(d + "/data", "pw"));
         },
         {"pw"},
         Expect::kConverted,
         ""},
        {"binary garbage",
         [](const std::string& d) {
             std::string garbage;
             for (int i = 0; i < 5000; ++i)
                 garbage.push_back(static_cast<char>(i * 7919 % 251));
             WriteData(d, garbage);
         },
         {"pw"},
         Expect::kWrongPassword,
         ""},
        {"data file is a folder",
         [](const std::string& d) { fs::create_directory(d + "/data"); },
         {},
         Expect::kError,
         std::string(1, platform::kPathSeparator) + "data\" is a folder, not a file"},
        {"read-only folder",
         [](const std::string& d) { WriteData(d, kSmallJournal); },
         {},
         Expect::kError,
         "cannot create a temporary file for",
         true},
        {"data.xml is a folder",
         [](const std::string& d) {
             WriteData(d, kSmallJournal);
             fs::create_directory(d + "/data.xml");
         },
         {},
         Expect::kError,
         "data.xml"},
        {"ini and ini.txt cannot be read",
         [](const std::string& d) {
             WriteData(d, kSmallJournal);
             fs::create_directory(d + "/ini");
             fs::create_directory(d + "/ini.txt");
         },
         {},
         Expect::kConverted,
         "ini.txt"},
        {"a password of 10,000 bytes that is wrong",
         [](const std::string& d) {
             WriteData(d, kSmallJournal);
             ASSERT_TRUE(EncryptFile(d + "/data", "short"));
         },
         {longPassword},
         Expect::kWrongPassword,
         ""},
        // A working copy left by a killed run goes over the data file only
        // when the data file is its own text, and goes only when the data
        // file holds its journal: a newer journal beside it, plain or
        // enciphered, is converted and the copy kept.
        {"a stale working copy and a newer plain journal",
         [](const std::string& d) {
             WriteFile(d + "/dataX", "1" + kSmallJournal.substr(1));
             WriteData(d, kSmallJournal);
         },
         {},
         Expect::kConverted,
         "data.interrupted\". Copy it over"},
        {"a stale working copy and a newer enciphered journal",
         [](const std::string& d) {
             WriteFile(d + "/dataX", "1" + kSmallJournal.substr(1));
             ASSERT_TRUE(EncryptFile(d + "/dataX", "pw"));
             WriteData(d, kSmallJournal);
             ASSERT_TRUE(EncryptFile(d + "/data", "pw"));
         },
         {"pw"},
         Expect::kConverted,
         "data.interrupted\". Copy it over"},
        {"a password of 10,000 bytes that is right",
         [&](const std::string& d) {
             WriteData(d, kSmallJournal);
             ASSERT_TRUE(EncryptFile(d + "/data", longPassword));
         },
         {longPassword},
         Expect::kConverted,
         ""},
    };
    for (const BadInputCase& c : cases)
        RunCase(c);
}
