#include "convert1_1to2_0/IniFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "platform/os/Env.h"
#include "support/FaultInjectionEnv.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

using platform::Env;
using platform::FaultInjectionEnv;
using platform::ScopedEnv;
using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::RecordingReporter;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

const std::map<std::string, int32_t> kDefaultInts = {
    {"DREAM_NUM", 0},
    {"VISION_NUM", 0},
    {"MAX_TEXT", 0},
    {"MAX_VISION", 0},
    {"CRYPT", 1},
    {"LANGUAGE", 0},
    {"DREAM_FONT_SIZE", 10},
    {"DREAM_FONT_COLOR", 0},
    {"DREAM_FONT_BOLD", 0},
    {"DREAM_FONT_ITALIC", 0},
    {"DREAM_FONT_UNDERL", 0},
    {"VISION_FONT_SIZE", 12},
    {"VISION_FONT_COLOR", 16711680},
    {"VISION_FONT_BOLD", 0},
    {"VISION_FONT_ITALIC", 0},
    {"VISION_FONT_UNDERL", 0},
};
const std::map<std::string, std::string> kDefaultStrs = {
    {"DREAM_FONT_NAME", "Lucida Console"},
    {"VISION_FONT_NAME", "Sylfaen"},
};

// Reads `contents` as the folder's "ini"; *warnings gets what it said.
TIniFile ReadSettings(const TempDir& dir, const std::string& contents,
                      std::string* warnings = nullptr) {
    WriteFile(dir.File("ini"), contents);
    static RecordingReporter said;
    said = RecordingReporter();
    TIniFile ini(dir.path(), said);
    if (warnings != nullptr)
        *warnings = said.err();
    else
        EXPECT_EQ("", said.err());
    return ini;
}

// The defaults with the given number settings changed.
std::map<std::string, int32_t> IntsWith(const std::map<std::string, int32_t>& changes) {
    std::map<std::string, int32_t> ints = kDefaultInts;
    for (const auto& change : changes)
        ints[change.first] = change.second;
    return ints;
}

}  // namespace

TEST(IniFileTest, AMissingFileIsCreatedEmptyOnlyWhenAskedAndEverySettingHasItsDefault) {
    TempDir dir;
    RecordingReporter said;
    TIniFile ini(dir.path(), said);
    EXPECT_FALSE(Exists(dir.File("ini")));  // a run that fails writes nothing
    ini.CreateIfMissing();
    EXPECT_EQ("", said.err());
    EXPECT_EQ(dir.File("ini"), ini.FileName);
    ASSERT_TRUE(Exists(dir.File("ini")));
    EXPECT_EQ("", ReadFile(dir.File("ini")));
    EXPECT_EQ(kDefaultInts, ini.IntValues);
    EXPECT_EQ(kDefaultStrs, ini.StrValues);
}

TEST(IniFileTest, AWholeFileAsTheOlderReleaseWroteIt) {
    TempDir dir;
    const std::string contents =
        "DREAM_NUM 12\r\nVISION_NUM 3\r\nMAX_TEXT 4000\r\nMAX_VISION 2000\r\nCRYPT 0\r\n"
        "LANGUAGE 1\r\nDREAM_FONT_NAME Times New Roman\r\nDREAM_FONT_SIZE 14\r\n"
        "DREAM_FONT_COLOR 255\r\nDREAM_FONT_BOLD 1\r\nDREAM_FONT_ITALIC 1\r\n"
        "DREAM_FONT_UNDERL 1\r\nVISION_FONT_NAME \xD0\xE0\xE7\xED\xFB\xE9\r\n"
        "VISION_FONT_SIZE 9\r\nVISION_FONT_COLOR 65280\r\nVISION_FONT_BOLD 1\r\n"
        "VISION_FONT_ITALIC 1\r\nVISION_FONT_UNDERL 1\r\n";
    TIniFile ini = ReadSettings(dir, contents);
    const std::map<std::string, int32_t> ints = {
        {"DREAM_NUM", 12},
        {"VISION_NUM", 3},
        {"MAX_TEXT", 4000},
        {"MAX_VISION", 2000},
        {"CRYPT", 0},
        {"LANGUAGE", 1},
        {"DREAM_FONT_SIZE", 14},
        {"DREAM_FONT_COLOR", 255},
        {"DREAM_FONT_BOLD", 1},
        {"DREAM_FONT_ITALIC", 1},
        {"DREAM_FONT_UNDERL", 1},
        {"VISION_FONT_SIZE", 9},
        {"VISION_FONT_COLOR", 65280},
        {"VISION_FONT_BOLD", 1},
        {"VISION_FONT_ITALIC", 1},
        {"VISION_FONT_UNDERL", 1},
    };
    EXPECT_EQ(ints, ini.IntValues);
    const std::map<std::string, std::string> strs = {
        {"DREAM_FONT_NAME", "Times New Roman"},
        {"VISION_FONT_NAME", "\xD0\xE0\xE7\xED\xFB\xE9"},
    };
    EXPECT_EQ(strs, ini.StrValues);
    // Reading leaves the file's bytes as they were.
    EXPECT_EQ(contents, ReadFile(dir.File("ini")));
}

TEST(IniFileTest, NumberKeys) {
    TempDir dir;
    // Keys are case-sensitive: a lower-case key and its value are two skipped words.
    EXPECT_EQ(kDefaultInts, ReadSettings(dir, "crypt 0\r\n").IntValues);
    // The number may stand on the next line.
    EXPECT_EQ(IntsWith({{"DREAM_FONT_SIZE", 14}}),
              ReadSettings(dir, "DREAM_FONT_SIZE\r\n14\r\n").IntValues);
    // Signs, and a number cut short by a letter.
    EXPECT_EQ(IntsWith({{"LANGUAGE", -1}, {"MAX_TEXT", 5}, {"DREAM_NUM", 12}}),
              ReadSettings(dir, "LANGUAGE -1\nMAX_TEXT +5\nDREAM_NUM 12abc\n").IntValues);
    // The 32-bit limits themselves.
    EXPECT_EQ(IntsWith({{"DREAM_NUM", INT32_MIN}, {"VISION_NUM", INT32_MAX}}),
              ReadSettings(dir, "DREAM_NUM -2147483648\nVISION_NUM 2147483647\n").IntValues);
    // The last value wins.
    EXPECT_EQ(IntsWith({{"DREAM_NUM", 7}}),
              ReadSettings(dir, "DREAM_NUM 5\r\nDREAM_NUM 7\r\n").IntValues);
    // A value at the end of the file without a line end is taken.
    EXPECT_EQ(IntsWith({{"CRYPT", 0}}), ReadSettings(dir, "CRYPT 0").IntValues);
}

TEST(IniFileTest, TextKeys) {
    TempDir dir;
    // One separator, then the rest of the line, blanks and all.
    EXPECT_EQ(
        "  Courier  New ",
        ReadSettings(dir, "DREAM_FONT_NAME   Courier  New \r\n").StrValues["DREAM_FONT_NAME"]);
    // Directly followed by the line end: the line end is the separator and
    // the whole next line is the value.
    EXPECT_EQ("Arial", ReadSettings(dir, "VISION_FONT_NAME\r\nArial\r\nCRYPT 0\r\n")
                           .StrValues["VISION_FONT_NAME"]);
    // A tab is a separator like any other.
    EXPECT_EQ("Verdana",
              ReadSettings(dir, "DREAM_FONT_NAME\tVerdana").StrValues["DREAM_FONT_NAME"]);
    // Nothing after the separator: the rest of the line is empty.
    EXPECT_EQ("", ReadSettings(dir, "DREAM_FONT_NAME \r\n").StrValues["DREAM_FONT_NAME"]);
    // 63 characters fit.
    const std::string longest(63, 'x');
    TIniFile ini = ReadSettings(dir, "DREAM_FONT_NAME " + longest + "\r\nCRYPT 0\r\n");
    EXPECT_EQ(longest, ini.StrValues["DREAM_FONT_NAME"]);
    EXPECT_EQ(0, ini.IntValues["CRYPT"]);
    // A text value is taken whole even when it spells a key.
    ini = ReadSettings(dir, "DREAM_FONT_NAME CRYPT 0\r\n");
    EXPECT_EQ("CRYPT 0", ini.StrValues["DREAM_FONT_NAME"]);
    EXPECT_EQ(1, ini.IntValues["CRYPT"]);
}

TEST(IniFileTest, UnknownEntriesAreSkippedWordByWord) {
    TempDir dir;
    TIniFile ini = ReadSettings(dir, "CRYPT 0\r\nWINDOW_POS 10 20\r\nLANGUAGE 2\r\n");
    EXPECT_EQ(IntsWith({{"CRYPT", 0}, {"LANGUAGE", 2}}), ini.IntValues);
    EXPECT_EQ(kDefaultStrs, ini.StrValues);
    // A word of an unknown entry that spells a key is taken as that key.
    EXPECT_EQ(IntsWith({{"DREAM_NUM", 7}}), ReadSettings(dir, "NOTE DREAM_NUM 7\n").IntValues);
    // Empty, blank-only and key-without-value files change nothing.
    for (const char* contents :
         {"", " \r\n\t\r\n", "DREAM_NUM", "DREAM_NUM \r\n", "DREAM_FONT_NAME"}) {
        TIniFile other = ReadSettings(dir, contents);
        EXPECT_EQ(kDefaultInts, other.IntValues) << contents;
        EXPECT_EQ(kDefaultStrs, other.StrValues) << contents;
    }
}

TEST(IniFileTest, AnUnreadableValueEndsTheReadingAndKeepsWhatWasRead) {
    TempDir dir;
    const std::string name = dir.File("ini");
    struct Case {
        std::string contents;
        std::string warning;
    };
    const Case cases[] = {
        {"DREAM_NUM 3\r\nCRYPT abc\r\nLANGUAGE 2\r\n",
         "Warning: \"" + name +
             "\": the value of CRYPT, \"abc\", is not a 32-bit whole number; the rest of the "
             "file is ignored\n"},
        {"DREAM_NUM 3\r\nCRYPT 2147483648\r\nLANGUAGE 2\r\n",
         "Warning: \"" + name +
             "\": the value of CRYPT, \"2147483648\", is not a 32-bit whole number; the rest of "
             "the file is ignored\n"},
        {"DREAM_NUM 3\r\nCRYPT -99999999999999999999999\r\nLANGUAGE 2\r\n",
         "Warning: \"" + name +
             "\": the value of CRYPT, \"-99999999999999999999999\", is not a 32-bit whole "
             "number; the rest of the file is ignored\n"},
        {"DREAM_NUM 3\r\nCRYPT -\r\nLANGUAGE 2\r\n",
         "Warning: \"" + name +
             "\": the value of CRYPT, \"-\", is not a 32-bit whole number; the rest of the file "
             "is ignored\n"},
        {"DREAM_NUM 3\r\nVISION_FONT_NAME " + std::string(64, 'y') + "\r\nLANGUAGE 2\r\n",
         "Warning: \"" + name +
             "\": the value of VISION_FONT_NAME is longer than 63 characters; the rest of the "
             "file is ignored\n"},
    };
    for (const Case& c : cases) {
        std::string warnings;
        TIniFile ini = ReadSettings(dir, c.contents, &warnings);
        EXPECT_EQ(c.warning, warnings);
        EXPECT_EQ(IntsWith({{"DREAM_NUM", 3}}), ini.IntValues) << c.contents;
        EXPECT_EQ(kDefaultStrs, ini.StrValues) << c.contents;
        EXPECT_EQ(c.contents, ReadFile(name));
    }
    // An earlier value of the same key stands.
    std::string warnings;
    TIniFile ini = ReadSettings(dir, "CRYPT 0\nCRYPT x\n", &warnings);
    EXPECT_EQ(0, ini.IntValues["CRYPT"]);
}

TEST(IniFileTest, AFileThatCannotBeReadLeavesTheDefaults) {
    TempDir dir;
    ASSERT_TRUE(platform::Env::Real().CreateDir(dir.File("ini")).ok());
    RecordingReporter said;
    TIniFile ini(dir.path(), said);
    EXPECT_EQ("Warning: cannot open \"" + dir.File("ini") +
                  "\": " + testing_support::FolderAsFileText() +
                  "; the legacy settings keep their defaults\n",
              said.err());
    EXPECT_EQ(kDefaultInts, ini.IntValues);
    EXPECT_EQ(kDefaultStrs, ini.StrValues);
}

// A failed look or read must never be taken for a missing file: that would
// create an empty file over the user's settings.
TEST(IniFileTest, AFailedOperationIsReportedAndNeverTruncatesTheFile) {
    TempDir dir;
    const std::string name = dir.File("ini");
    struct Case {
        bool present;
        int failAt;
        std::string warning;
    };
    const Case cases[] = {
        {true, 1, "injected fault: cannot examine \"" + name + "\""},
        {true, 2, "injected fault: cannot open \"" + name + "\""},
        {true, 3, "injected fault: cannot read \"" + name + "\""},
        {false, 1, "injected fault: cannot examine \"" + name + "\""},
        {false, 2, "injected fault: cannot create \"" + name + "\""},
        {false, 3, "injected fault: cannot close \"" + name + "\""},
    };
    for (const Case& c : cases) {
        std::remove(name.c_str());
        if (c.present)
            WriteFile(name, "CRYPT 0\r\n");
        FaultInjectionEnv env(Env::Real());
        env.FailAt(c.failAt);
        RecordingReporter said;
        TIniFile ini = [&] {
            ScopedEnv scoped(env);
            TIniFile read(dir.path(), said);
            read.CreateIfMissing();
            return read;
        }();
        const bool creating = !c.present && c.failAt > 1;
        EXPECT_EQ("Warning: " + c.warning +
                      (creating ? "\n" : "; the legacy settings keep their defaults\n"),
                  said.err());
        EXPECT_EQ(kDefaultInts, ini.IntValues) << c.failAt;
        if (c.present) {
            EXPECT_EQ("CRYPT 0\r\n", ReadFile(name)) << c.failAt;
        } else if (c.failAt == 1) {
            EXPECT_FALSE(Exists(name));
        }
    }
}
