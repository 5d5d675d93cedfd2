// The command line and the exit statuses, through the built program with
// standard input closed, as a script runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "convert1_1to2_0/Program.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const char kWrongPasswordOutput[] = "Wrong password!\nError converting file\nDone";
const char kConverted[] = "Converted 4 dreams (2 lucid), 3 places and 2 positions into \"";

std::string Sample(const std::string& scheme) {
    return ReadFile(DataFile("cipher/journals/sample/" + scheme + "/data"));
}

// The sample journal enciphered with `password`, beside an earlier document
// and both settings files.
void SampleFolder(const std::string& dir, const std::string& password) {
    WriteFile(dir + "/data", Sample("plain"));
    ASSERT_TRUE(EncryptFile(dir + "/data", password));
    WriteFile(dir + "/data.xml", "an earlier document");
    WriteFile(dir + "/ini", "DREAM_FONT_SIZE 14\r\n");
    WriteFile(dir + "/ini.txt", "Language R\r\n");
}

std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : ListFolder(dir))
        files[name] = fs::is_regular_file(dir + "/" + name) ? ReadFile(dir + "/" + name) : "/";
    return files;
}

struct Invocation {
    std::string name;
    std::function<void(const std::string& dir)> setUp;
    std::vector<std::string> args;
    int exitStatus;
    std::vector<std::string> outHas;  // texts standard output holds
    std::string errHas;               // empty: nothing on standard error
    std::string convertedWith;        // the password that opened the journal; empty: no run
};

auto Enciphered(const std::string& password) {
    return [password](const std::string& dir) { SampleFolder(dir, password); };
}

}  // namespace

TEST(OptionsTest, EachInvocationHasItsOutcomeAndStatus) {
    const std::string usage =
        "Usage: convert1_1to2_0 [--help | --version] | [--codepage=N] [--] [PASSWORD]\n";
    const std::vector<Invocation> cases = {
        {"help",
         Enciphered("dream"),
         {"--help"},
         0,
         {usage, "current folder", "\"Password: \"", "private way", "Exit status: 0 converted",
          "2 wrong password", "1250, 1251", "man convert1_1to2_0"},
         "",
         ""},
        {"short help", Enciphered("dream"), {"-h"}, 0, {usage}, "", ""},
        {"help after a password", Enciphered("dream"), {"dream", "--help"}, 0, {usage}, "", ""},
        {"version",
         Enciphered("dream"),
         {"--version"},
         0,
         {"convert1_1to2_0 " JC_VERSION "\n"},
         "",
         ""},
        {"two passwords",
         Enciphered("my password"),
         {"my", "password"},
         1,
         {},
         "Error: 2 password arguments given where one is expected; quote a password that "
         "contains blanks\n" +
             usage,
         ""},
        {"unknown code page",
         Enciphered("dream"),
         {"--codepage=1259", "dream"},
         1,
         {},
         "unknown code page \"1259\" in \"--codepage=1259\"; the supported code pages are 874, "
         "1250,",
         ""},
        {"code page not a number", Enciphered("dream"), {"--codepage=cp1251"}, 1, {}, "cp1251", ""},
        {"password", Enciphered("dream"), {"dream"}, 0, {"Done"}, kConverted, "dream"},
        {"password after --",
         Enciphered("--help"),
         {"--", "--help"},
         0,
         {"Done"},
         kConverted,
         "--help"},
        {"password beginning with -", Enciphered("-x"), {"-x"}, 0, {"Done"}, kConverted, "-x"},
        {"password --", Enciphered("--"), {"--", "--"}, 0, {"Done"}, kConverted, "--"},
        {"code page given",
         Enciphered("dream"),
         {"--codepage=1251", "dream"},
         0,
         {"Done"},
         kConverted,
         "dream"},
        {"wrong password", Enciphered("dream"), {"dreams"}, 2, {kWrongPasswordOutput}, "", ""},
        {"empty password given", Enciphered("dream"), {""}, 2, {kWrongPasswordOutput}, "", ""},
        {"no password and no terminal",
         Enciphered("dream"),
         {},
         2,
         {kWrongPasswordOutput},
         "The journal is enciphered, or is no journal: give its password as the argument, or run "
         "the program on a terminal to be asked for it.\n",
         ""},
        {"an error",
         [](const std::string& dir) { fs::create_directory(dir + "/data"); },
         {},
         1,
         {},
         "is a folder, not a file\nThe journal was not converted.\n",
         ""},
        {"a broken invariant",
         [](const std::string& dir) {
             WriteFile(dir + "/data", Sample("current"));
             fs::create_directory(dir + "/_data");
         },
         {"dream"},
         3,
         {},
         "Assertion failed: RenameFile((DATA_F_NAME+\"X\").c_str(),RESERV_1), file "
         "convert1_1to2_0/DreamBase, line 183",
         ""},
    };
    for (const Invocation& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.setUp(dir.path());
        const auto before = Snapshot(dir.path());
        const ProcessResult run = RunConverter(dir.path(), c.args);
        EXPECT_EQ(c.exitStatus, run.exitStatus) << run.err;
        for (const std::string& text : c.outHas)
            EXPECT_NE(std::string::npos, run.out.find(text)) << run.out;
        if (c.outHas.size() == 1 && c.outHas[0].find("Done") != std::string::npos) {
            EXPECT_EQ(c.outHas[0], run.out);
        }
        if (c.outHas.empty()) {
            EXPECT_EQ("", run.out);
        }
        if (c.errHas.empty()) {
            EXPECT_EQ("", run.err);
        } else {
            EXPECT_NE(std::string::npos, run.err.find(c.errHas)) << run.err;
        }
        if (c.convertedWith.empty() && c.exitStatus != 3) {
            EXPECT_EQ(before, Snapshot(dir.path())) << "the folder was changed";
        } else if (!c.convertedWith.empty()) {
            EXPECT_EQ(Sample("plain"), Decipher(dir.File("data"), c.convertedWith));
            EXPECT_EQ("an earlier document", ReadFile(dir.File("data.xml.bak")));
        }
    }
}

TEST(OptionsTest, EveryWayOfGivingThePasswordConvertsToTheSameBytes) {
    std::map<std::string, std::string> first;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"dream"},
                                               {"--", "dream"},
                                               {"--codepage=1251", "dream"},
                                               {"--codepage=1251", "--", "dream"}}) {
        TempDir dir;
        WriteFile(dir.File("data"), Sample("current"));
        ASSERT_EQ(0, RunConverter(dir.path(), args).exitStatus) << args.size();
        const auto files = Snapshot(dir.path());
        if (first.empty())
            first = files;
        EXPECT_EQ(first, files) << args.front();
    }
}

TEST(OptionsTest, TheSummaryNamesCountsFilesAndASetAsideDocument) {
    ConversionReport report;
    report.opened = true;
    report.dreams = 1;
    report.places = 1;
    report.positions = 1;
    report.documentPath = "/j/data.xml";
    EXPECT_EQ("Converted 1 dream (0 lucid), 1 place and 1 position into \"/j/data.xml\".",
              ConversionSummary(report));
    report.dreams = 0;
    report.positions = 2;
    report.setAsidePath = "/j/data.xml.1.bak";
    EXPECT_EQ(
        "Converted 0 dreams (0 lucid), 1 place and 2 positions into \"/j/data.xml\". The earlier "
        "document is kept as \"/j/data.xml.1.bak\".",
        ConversionSummary(report));
}
