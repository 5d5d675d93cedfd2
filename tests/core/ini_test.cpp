#include "core/ini.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/os/Env.h"
#include "support/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

using platform::Env;
using platform::FaultInjectionEnv;
using testing_support::Exists;
using testing_support::ListFolder;
using testing_support::ReadFile;
using testing_support::RecordingReporter;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// What the settings of these tests say; the tests that care look at it.
RecordingReporter said;

const char kDefaultFile[] =
    "DreamFontBold 0\r\n"
    "DreamFontColor 0\r\n"
    "DreamFontItalic 0\r\n"
    "DreamFontName Lucida Console\r\n"
    "DreamFontSize 10\r\n"
    "DreamFontUnderl 0\r\n"
    "Language E\r\n"
    "LucidFontBold 0\r\n"
    "LucidFontColor 0x00ff0000\r\n"
    "LucidFontItalic 0\r\n"
    "LucidFontName Sylfaen\r\n"
    "LucidFontSize 12\r\n"
    "LucidFontUnderl 0\r\n";

// The default file with `line` (CR LF included) put in its sorted place.
std::string DefaultsWith(const std::string& key, const std::string& value) {
    std::string result;
    std::string text = kDefaultFile;
    std::string line = key + " " + value + "\r\n";
    bool placed = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t next = text.find("\r\n", pos) + 2;
        std::string current = text.substr(pos, next - pos);
        std::string currentKey = current.substr(0, current.find(' '));
        if (!placed && key <= currentKey) {
            result += line;
            placed = true;
            if (key == currentKey)
                current.clear();
        }
        result += current;
        pos = next;
    }
    if (!placed)
        result += line;
    return result;
}

// Loads `contents` as ini.txt (or no file when null), and returns the file
// the object leaves behind, along with its loaded data.
std::string RoundTrip(const TempDir& dir, const std::string* contents,
                      std::map<std::string, std::string>* data = nullptr) {
    if (contents != nullptr)
        WriteFile(dir.File("ini.txt"), *contents);
    {
        TIni ini(dir.path(), said);
        if (data != nullptr)
            *data = ini.Data;
    }
    return ReadFile(dir.File("ini.txt"));
}

std::string RoundTrip(const TempDir& dir, const std::string& contents,
                      std::map<std::string, std::string>* data = nullptr) {
    return RoundTrip(dir, &contents, data);
}

}  // namespace

TEST(TIniTest, NoFileGivesTheThirteenDefaultsInByteOrder) {
    TempDir dir;
    std::unique_ptr<TIni> ini(new TIni(dir.path(), said));
    EXPECT_EQ(dir.File("ini.txt"), ini->FileName);
    EXPECT_EQ(13u, ini->Data.size());
    EXPECT_EQ("Lucida Console", ini->Data["DreamFontName"]);
    // The file appears whole when the settings are written, never empty.
    EXPECT_FALSE(Exists(dir.File("ini.txt")));
    ini.reset();
    EXPECT_EQ(kDefaultFile, ReadFile(dir.File("ini.txt")));
    EXPECT_FALSE(Exists(dir.File("ini.txt.tmp")));
}

TEST(TIniTest, EmptyOrBlankFileGivesTheDefaults) {
    for (std::string contents : {"", "  \r\n\r\n\t \n"}) {
        TempDir dir;
        EXPECT_EQ(kDefaultFile, RoundTrip(dir, contents)) << contents;
    }
}

TEST(TIniTest, LoadedValuesReplaceDefaultsAndUnknownKeysAreKept) {
    TempDir dir;
    std::map<std::string, std::string> data;
    EXPECT_EQ(DefaultsWith("Language", "R"), RoundTrip(dir, "Language R\r\n", &data));
    EXPECT_EQ("R", data["Language"]);
    EXPECT_EQ("Sylfaen", data["LucidFontName"]);
    EXPECT_EQ(13u, data.size());

    TempDir other;
    EXPECT_EQ(DefaultsWith("AWindowTop", "120"), RoundTrip(other, "AWindowTop 120\r\n", &data));
    EXPECT_EQ(14u, data.size());
}

TEST(TIniTest, ValuesKeepTheirBlanks) {
    TempDir dir;
    std::map<std::string, std::string> data;
    std::string saved = RoundTrip(dir,
                                  "DreamFontName Courier New\r\n"
                                  "Language \r\n"
                                  "LucidFontName   Times  \r\n",
                                  &data);
    EXPECT_EQ("Courier New", data["DreamFontName"]);
    EXPECT_EQ("", data["Language"]);
    EXPECT_EQ("  Times  ", data["LucidFontName"]);
    std::string expected = DefaultsWith("DreamFontName", "Courier New");
    expected.replace(expected.find("Language E"), 10, "Language ");
    expected.replace(expected.find("LucidFontName Sylfaen"), 21, "LucidFontName   Times  ");
    EXPECT_EQ(expected, saved);
}

TEST(TIniTest, KeysAreCaseSensitiveAndBlankLinesAreSkipped) {
    TempDir dir;
    std::map<std::string, std::string> data;
    std::string saved =
        RoundTrip(dir, "\r\n\r\nlanguage D\r\n\r\n   \r\nLanguage R\r\n\r\n", &data);
    EXPECT_EQ("D", data["language"]);
    EXPECT_EQ("R", data["Language"]);
    // Lower case sorts after every upper-case key.
    EXPECT_EQ(DefaultsWith("Language", "R") + "language D\r\n", saved);
}

TEST(TIniTest, ALaterDuplicateWins) {
    TempDir dir;
    EXPECT_EQ(DefaultsWith("Language", "R"), RoundTrip(dir, "Language D\r\nLanguage R\r\n"));
}

TEST(TIniTest, LineEndsWithoutCarriageReturnAndAValueAtTheEndOfTheFile) {
    TempDir dir;
    std::map<std::string, std::string> data;
    RoundTrip(dir, "Language R\nDreamFontSize 14", &data);
    EXPECT_EQ("R", data["Language"]);
    EXPECT_EQ("14", data["DreamFontSize"]);
    TempDir other;
    RoundTrip(other, "Language ", &data);
    EXPECT_EQ("", data["Language"]);
}

TEST(TIniTest, AKeyCutOffByTheEndOfTheFileIsNotStored) {
    TempDir dir;
    std::map<std::string, std::string> data;
    EXPECT_EQ(DefaultsWith("Language", "R"), RoundTrip(dir, "Language R\r\nOrphan", &data));
    EXPECT_EQ(0u, data.count("Orphan"));
}

TEST(TIniTest, AKeyAloneOnItsLineHasAnEmptyValueAndTheNextLineStaysAnEntry) {
    TempDir dir;
    std::map<std::string, std::string> data;
    RoundTrip(dir, "Language\r\nDreamFontSize 14\r\nAlone\r\n\r\nLucidFontSize 9\r\n", &data);
    EXPECT_EQ("", data["Language"]);
    EXPECT_EQ("14", data["DreamFontSize"]);
    EXPECT_EQ("", data["Alone"]);
    EXPECT_EQ("9", data["LucidFontSize"]);
    EXPECT_EQ(0u, data.count("DreamFontSize 14"));
    EXPECT_EQ(14u, data.size());
}

TEST(TIniTest, OverlongKeysAndValuesAreKeptWhole) {
    TempDir dir;
    const std::string key(300, 'K');
    const std::string value = "v" + std::string(5000, ' ') + "end";
    std::map<std::string, std::string> data;
    std::string saved =
        RoundTrip(dir, key + " " + value + "\r\nLanguage R\r\nDreamFontName " + value, &data);
    EXPECT_EQ(value, data[key]);
    EXPECT_EQ("R", data["Language"]);
    EXPECT_EQ(value, data["DreamFontName"]);
    std::string expected = DefaultsWith("DreamFontName", value);
    expected.replace(expected.find("Language E"), 10, key + " " + value + "\r\nLanguage R");
    EXPECT_EQ(expected, saved);
}

TEST(TIniTest, OddBytesAndSeparatorsNeverCrash) {
    TempDir dir;
    std::map<std::string, std::string> data;
    const char raw[] = "Tab\tvalue\r\nNul \0x\r\nCyr \xcf\xf0\xe8\r\nLone\rCR\r\n";
    const std::string contents(raw, sizeof raw - 1);
    RoundTrip(dir, contents, &data);
    EXPECT_EQ("value", data["Tab"]);
    EXPECT_EQ(std::string("\0x", 2), data["Nul"]);
    EXPECT_EQ("\xcf\xf0\xe8", data["Cyr"]);
    EXPECT_EQ("CR", data["Lone"]);
}

TEST(TIniTest, ReloadingAFileThisClassWroteGivesTheSameBytes) {
    TempDir dir;
    const std::string first = RoundTrip(dir,
                                        "Zeta  two blanks\r\nLanguage \r\nDreamFontName Arial "
                                        "Black\r\nalpha \xe0\xe1\r\n");
    EXPECT_EQ(first, RoundTrip(dir, static_cast<const std::string*>(nullptr)));
    EXPECT_EQ(first, RoundTrip(dir, static_cast<const std::string*>(nullptr)));
}

TEST(TIniTest, AFolderThatCannotBeWrittenGivesWarningsAndTheDefaults) {
    TempDir dir;
    const std::string path = dir.File("ini.txt");
    FaultInjectionEnv env(Env::Real());
    env.FailAt(2, /*fromThenOn=*/true);  // everything after the first look
    platform::ScopedEnv scoped(env);
    said = RecordingReporter();
    {
        TIni ini(dir.path(), said);
        EXPECT_EQ("E", ini.Data["Language"]);
        EXPECT_EQ(13u, ini.Data.size());
    }
    EXPECT_EQ("Warning: settings file \"" + path +
                  "\" not saved: cannot create a temporary file for \"" + path +
                  "\": injected fault\n",
              said.err());
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(dir.path()));
}

TEST(TIniTest, AMissingFolderIsReportedWithTheSystemsReason) {
    TempDir dir;
    const std::string path = platform::JoinPath(dir.File("none"), "ini.txt");
    said = RecordingReporter();
    { TIni ini(dir.File("none"), said); }
    EXPECT_EQ("Warning: settings file \"" + path +
                  "\" not saved: cannot create a temporary file for \"" + path +
                  "\": " + testing_support::NoSuchFolderText() + "\n",
              said.err());
}

TEST(TIniTest, AFileThatCannotBeReadIsLeftAsItIs) {
    TempDir dir;
    const std::string path = dir.File("ini.txt");
    WriteFile(path, "Language R\r\n");
    // Operation 1 examines the file, 2 opens it, 3 reads it.
    for (int failing = 1; failing <= 3; ++failing) {
        FaultInjectionEnv env(Env::Real());
        env.FailAt(failing);
        platform::ScopedEnv scoped(env);
        said = RecordingReporter();
        {
            TIni ini(dir.path(), said);
            EXPECT_EQ("E", ini.Data["Language"]);
        }
        const char* what[] = {"", "examine", "open", "read"};
        EXPECT_EQ("Warning: settings file \"" + path +
                      "\" not loaded, the defaults are used and the file is left as it is: "
                      "injected fault: cannot " +
                      what[failing] + " \"" + path + "\"\n",
                  said.err());
        EXPECT_EQ("Language R\r\n", ReadFile(path)) << failing;
    }
}

TEST(TIniTest, AFailedSaveKeepsTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.File("ini.txt");
    WriteFile(path, "Language R\r\n");
    FaultInjectionEnv counter(Env::Real());
    {
        platform::ScopedEnv scoped(counter);
        TIni ini(dir.path(), said);
    }
    const uint64_t total = counter.OperationCount();
    WriteFile(path, "Language R\r\n");
    // The load takes the first operations; every later one belongs to the save.
    uint64_t loadOps = 0;
    {
        FaultInjectionEnv env(Env::Real());
        platform::ScopedEnv scoped(env);
        TIni ini(dir.path(), said);
        loadOps = env.OperationCount();
    }
    WriteFile(path, "Language R\r\n");
    for (uint64_t failing = loadOps + 1; failing <= total; ++failing) {
        FaultInjectionEnv env(Env::Real());
        env.FailAt(failing);
        platform::ScopedEnv scoped(env);
        said = RecordingReporter();
        { TIni ini(dir.path(), said); }
        const std::string err = said.err();
        EXPECT_EQ(0u, err.find("Warning: settings file \"" + path + "\" not saved: ")) << err;
        EXPECT_NE(std::string::npos, err.find("injected fault")) << err;
        EXPECT_EQ("Language R\r\n", ReadFile(path)) << failing;
        EXPECT_FALSE(Exists(path + ".tmp")) << failing;
    }
}
