// The command line and the exit statuses, through the built program with
// standard input closed, as a script runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/text/CodePage.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : ListFolder(dir))
        files[name] = fs::is_regular_file(dir + "/" + name) ? ReadFile(dir + "/" + name) : "/";
    return files;
}

// The same with each entry's permissions and time of last change, which
// only a reader that changes nothing leaves as they are.
std::map<std::string, std::string> Stamps(const std::string& dir) {
    std::map<std::string, std::string> stamps = Snapshot(dir);
    for (auto& [name, entry] : stamps) {
        const fs::path path = fs::u8path(dir + "/" + name);
        entry += " " + std::to_string(static_cast<unsigned>(fs::status(path).permissions())) + " " +
                 std::to_string(fs::last_write_time(path).time_since_epoch().count());
    }
    return stamps;
}

struct Invocation {
    std::vector<std::string> args;
    // The journal's; "/": "data" is a folder; "_": so is "_data"; "-": no journal at all.
    std::string password;
    int exitStatus;
    std::string out;     // standard output; for --help, how it begins
    std::string errHas;  // empty: nothing on standard error
};

}  // namespace

TEST(OptionsTest, EachInvocationHasItsOutcomeAndStatus) {
    const std::string usage =
        "Usage: convert1_1to2_0 [--help | --version] | [--check] [--codepage=N] [--] [PASSWORD]\n";
    const std::string wrong = "Wrong password!\nError converting file\nDone";
    const std::string done = "Converted 4 dreams (2 lucid), 3 places and 2 positions into";
    const std::string check =
        "data: converted into \"data.xml\", then written back enciphered again with the same "
        "password\n"
        "_data: made: the journal as this run finds it\n"
        "ini: made, empty, as the older release expects it\n"
        "data.xml: the earlier document is kept as \"data.xml.bak\", and the converted journal is "
        "written here\n"
        "ini.txt: made, with the newer release's defaults and the fonts \"ini\" gives\n"
        "Password: opens the journal (128-bit key, as Windows XP SP1 and later make it)\n"
        "Texts: read in code page 1251 (Cyrillic)\n"
        "Counts: 4 dreams (2 lucid), 3 places and 2 positions\n";
    const std::vector<Invocation> cases = {
        {{"--help"}, "pw", 0, usage, ""},
        // Help, not a new journal with the password "-h".
        {{"-h"}, "-", 0, usage, ""},
        // A new journal, its password spelled as the journal's Windows spells it.
        {{"пароль"}, "-", 0, "Done", "Note: no journal (no data file \"data\") was found in"},
        {{"--version"}, "pw", 0, "convert1_1to2_0 " JC_VERSION "\n", ""},
        // A check tells what a run would do, and ends as it would end;
        // it changes nothing.
        {{"--check", "pw"}, "pw", 0, check + "Verdict: a conversion would succeed.\n", ""},
        {{"--check", "pw "},
         "pw",
         2,
         "Verdict: wrong password; a conversion would change nothing.\n",
         ""},
        {{"--check", "pw"},
         "/",
         1,
         "Verdict: a conversion would stop: data file \"<dir>data\" is a folder, not a file.\n",
         ""},
        {{"my", "password"}, "my password", 1, "", "quote a password that contains blanks\nUsage"},
        {{"--codepage=1259", "pw"}, "pw", 1, "", "the supported code pages are 874, 1250, 1251,"},
        {{"--", "--help"}, "--help", 0, "Done", done},
        {{"-x"}, "-x", 0, "Done", done},
        {{"--codepage=1251", "pw"}, "pw", 0, "Done", done},
        {{"pw "}, "pw", 2, wrong, ""},
        {{}, "pw", 2, wrong, "The journal is enciphered, or is no journal: give its password"},
        {{}, "/", 1, "", "is a folder, not a file\nThe journal was not converted.\n"},
        // Slips of the options are errors that name the way out; a dash
        // argument that is no option is a password, but not one for a new
        // journal.
        {{"--codepage", "1252", "pw"},
         "pw",
         1,
         "",
         "Error: the value of --codepage goes after \"=\", as in --codepage=1252; the supported "
         "code pages are 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258\n" +
             usage},
        {{"--Codepage=1252", "pw"}, "pw", 1, "", "(did you mean --codepage=1252?)"},
        {{"--verbose"},
         "pw",
         1,
         "",
         "Error: unknown option \"--verbose\"; the options are --help (-h), --version, "
         "--check, --codepage=N and --. A password that begins with \"--\" goes after \"--\": "
         "convert1_1to2_0 -- --verbose\n"},
        {{"--codepage=1252", "pw", "--codepage=1252"}, "pw", 1, "", "--codepage is given twice"},
        {{"-v"}, "pw", 2, wrong, "Note: \"-v\" was taken as the password; the options are"},
        {{"-v"},
         "-",
         1,
         "",
         "(no file \"data\"), and \"-v\" is no option; the options are --help (-h), --version, "
         "--check, --codepage=N and --. To make a new journal whose password begins with \"-\", "
         "give it "
         "after \"--\": convert1_1to2_0 -- -v\nThe journal was not converted.\n"},
        {{"--", "-v"}, "-", 0, "Done", "Note: no journal (no data file \"data\") was found"},
        {{"pw"},
         "_",
         1,
         "",
         std::string(1, platform::kPathSeparator) +
             "_data\" is not a file; move it out of the way\nThe journal was not"},
    };
    for (const Invocation& c : cases) {
        SCOPED_TRACE((c.args.empty() ? "" : c.args[0]) + " " + c.password);
        TempDir dir;
        WriteFile(dir.File("data"), ReadFile(DataFile("cipher/journals/sample/plain/data")));
        WriteFile(dir.File("data.xml"), "an earlier document");
        ASSERT_TRUE(EncryptFile(dir.File("data"), c.password == "_" ? "pw" : c.password));
        if (c.password == "/" || c.password == "-")
            fs::remove(dir.File("data"));
        if (c.password == "/" || c.password == "_")
            fs::create_directory(dir.File(c.password == "/" ? "data" : "_data"));
        const auto before = Snapshot(dir.path());
        if (std::find(c.args.begin(), c.args.end(), "--check") == c.args.end()) {
            // The check foretells the run: it ends as the run will, and
            // changes nothing.
            std::vector<std::string> args = {"--check"};
            args.insert(args.end(), c.args.begin(), c.args.end());
            const auto stamps = Stamps(dir.path());
            const ProcessResult check = RunConverter(dir.path(), args);
            EXPECT_EQ(c.exitStatus, check.exitStatus) << "--check: " << check.out << check.err;
            EXPECT_EQ(stamps, Stamps(dir.path())) << "--check changed the folder";
            EXPECT_EQ(c.errHas == done,
                      check.out.find("Counts: 4 dreams (2 lucid), 3 places and 2 positions\n") !=
                          std::string::npos)
                << check.out;
        }
        const ProcessResult run = RunConverter(dir.path(), c.args);
        EXPECT_EQ(c.exitStatus, run.exitStatus) << run.err;
        std::string out = c.out;
        const size_t dirAt = out.find("<dir>");
        if (dirAt != std::string::npos)
            out.replace(dirAt, 5, dir.File(""));
        EXPECT_EQ(out, c.out == usage ? run.out.substr(0, usage.size()) : run.out);
        for (const char* text : {"current folder", "\"Password: \"", "private", "Exit status: 0",
                                 "man convert1_1to2_0", "otherwise 1251 (here: 1251)",
                                 "begins with \"--\" must\n                 follow it"})
            EXPECT_TRUE(c.out != usage || run.out.find(text) != std::string::npos) << text;
        EXPECT_EQ(c.errHas.empty(), run.err.empty()) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.errHas)) << run.err;
        if (c.out != "Done" && c.exitStatus != 3) {
            EXPECT_EQ(before, Snapshot(dir.path())) << "the folder was changed";
        } else if (c.exitStatus == 0 && c.password == "-") {
            // The new journal's password, spelled as the journal's Windows
            // (Windows-1251) spells it.
            std::string spelled;
            ASSERT_TRUE(platform::Utf8ToCodePage(c.args.back(), 1251, &spelled));
            EXPECT_EQ("0\x02PLACE\x03POSITION\x03RECORD\x03", Decipher(dir.File("data"), spelled));
            EXPECT_EQ("an earlier document", ReadFile(dir.File("data.xml.bak")));
        } else if (c.exitStatus == 0) {
            EXPECT_EQ(ReadFile(DataFile("cipher/journals/sample/plain/data")),
                      Decipher(dir.File("data"), c.password));
            EXPECT_EQ("an earlier document", ReadFile(dir.File("data.xml.bak")));
        }
    }
}
