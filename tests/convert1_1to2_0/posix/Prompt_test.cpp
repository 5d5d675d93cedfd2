// The program run by a person at a terminal: the password prompt, the
// questions and the pause after "Done", driven through a pseudo-terminal.
#include <gtest/gtest.h>

#include <map>

#include "support/Journals.h"
#include "support/TestSupport.h"
#include "support/posix/Pty.h"

using namespace testing_support;

namespace {

enum class Folder {
    kEnciphered,  // the sample journal, enciphered with `password`
    kPlain,       // the sample journal, plain
    kEmpty,       // no journal at all
    kWestern,     // a plain journal kept on a Western Windows
};

// What the person sees, and then types.
struct Step {
    std::string shown;  // the whole screen so far; "<dir>" stands for the folder
    std::string keys;   // kHangUp: the terminal's window closes instead
};

const char kHangUp[] = "(hang up)";

struct PromptCase {
    const char* name;
    std::vector<std::string> args;
    Folder folder;
    const char* password;
    std::vector<Step> dialog;  // the last step ends the pause, when there is one
    std::string err;           // what standard error begins with
    int exitStatus;
};

std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : ListFolder(dir))
        files[name] = ReadFile(dir + "/" + name);
    return files;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(PromptTest, APersonIsAskedOnlyWhenNeededAndThePasswordNeverShows) {
    const std::string ask = "Password: \n", again = "Wrong password; try again.\n";
    const std::string wrong = "Wrong password!\nError converting file\nDone";
    const std::string pause = "\nPress Enter to close.";
    const std::string done = "Converted 4 dreams (2 lucid), 3 places and 2 positions";
    const std::string newJournal =
        "No journal in \"<dir>\" (no file \"data\"). Create a new, empty journal here? [y/N] ";
    const std::string western =
        "The texts look like code page 1252 (Western European), not 1251 (Cyrillic). Convert "
        "them as 1252? [Y/n] ";
    const std::vector<PromptCase> cases = {
        {"the password at the prompt",
         {},
         Folder::kEnciphered,
         "dream",
         {{"Password: ", "dream\n"}, {ask + "Done" + pause, "\n"}},
         done,
         0},
        {"a wrong one, then the right one",
         {},
         Folder::kEnciphered,
         "dream",
         {{"Password: ", "dreams\n"},
          {ask + again + "Password: ", "dream\n"},
          {ask + again + ask + "Done" + pause, "\n"}},
         done,
         0},
        {"three wrong ones",
         {},
         Folder::kEnciphered,
         "dream",
         {{"Password: ", "dreams\n"},
          {ask + again + "Password: ", "\n"},
          {ask + again + ask + again + "Password: ", "Dream\n"},
          {ask + again + ask + again + ask + wrong + pause, "x\n"}},
         "",
         2},
        // Stopped at the prompt, the run puts back what it had begun.
        {"Ctrl-C at the prompt",
         {},
         Folder::kEnciphered,
         "dream",
         {{"Password: ", "\x03"}},
         "Stopped: interrupted by SIGINT (Ctrl-C). The journal is as it was found.\n",
         130},
        {"the terminal closed at the prompt",
         {},
         Folder::kEnciphered,
         "dream",
         {{"Password: ", kHangUp}},
         "Stopped: interrupted by SIGHUP (the terminal was closed). The journal is as it was "
         "found.\n",
         129},
        {"the end of input at the prompt",
         {},
         Folder::kEnciphered,
         "dream",
         {{"Password: ", "\x04"}, {ask + wrong + pause, "\n"}},
         "The password was not read",
         2},
        // Typed in UTF-8, enciphered in Windows-1251.
        {"a Cyrillic password",
         {},
         Folder::kEnciphered,
         "\xef\xe0\xf0\xee\xeb\xfc",
         {{"Password: ", "пароль\n"}, {ask + "Done" + pause, "\n"}},
         done,
         0},
        // What worked before asks nothing.
        {"the password given",
         {"dream"},
         Folder::kEnciphered,
         "dream",
         {{"Done" + pause, "\n"}},
         done,
         0},
        {"the empty password given",
         {""},
         Folder::kEnciphered,
         "dream",
         {{wrong + pause, "\n"}},
         "",
         2},
        {"a plain journal", {}, Folder::kPlain, "", {{"Done" + pause, "\x04"}}, done, 0},
        {"the empty password", {}, Folder::kEnciphered, "", {{"Done" + pause, "\n"}}, done, 0},
        // No journal: nothing is made unless the person says so.
        {"no journal, and no",
         {"pw"},
         Folder::kEmpty,
         "",
         {{newJournal, "n\n"}},
         "Error: no journal in \"<dir>\" (no file \"data\"); nothing was created.",
         1},
        {"no journal, and Enter",
         {"pw"},
         Folder::kEmpty,
         "",
         {{newJournal, "\n"}},
         "Error: no journal",
         1},
        {"no journal, and yes",
         {"pw"},
         Folder::kEmpty,
         "",
         {{newJournal, "Да\n"}, {newJournal + "Да\nDone" + pause, "\n"}},
         "Note: no journal (no data file \"data\") was found",
         0},
        {"no journal, and Ctrl-C",
         {"pw"},
         Folder::kEmpty,
         "",
         {{newJournal, "\x03"}},
         "Stopped: interrupted by SIGINT",
         130},
        // Texts that look written in another code page than the default.
        {"a Western journal, read as Western",
         {},
         Folder::kWestern,
         "",
         {{western, "\n"}, {western + "\nDone" + pause, "\n"}},
         "Converted 1 dream",
         0},
        {"a Western journal, and no",
         {},
         Folder::kWestern,
         "",
         {{western, "n\n"}},
         "Error: the texts were not converted, as they look wrong in code page 1251 (Cyrillic). "
         "To convert them in it all the same, run again with --codepage=1251",
         1},
        {"a Western journal, and Ctrl-C",
         {},
         Folder::kWestern,
         "",
         {{western, "\x03"}},
         "Stopped: interrupted by SIGINT",
         130},
        {"a Western journal, the code page named",
         {"--codepage=1251"},
         Folder::kWestern,
         "",
         {{"Done" + pause, "\n"}},
         "Warning: 1 text of the journal looks wrong in code page 1251",
         0},
    };
    for (const PromptCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.folder == Folder::kWestern) {
            LegacyJournal journal;
            journal.records = {Record(39448.5f, 0, 0, 0, false, 0, "Un caf\xe9 au lait")};
            WritePlainJournal(dir.path(), journal);
        } else if (c.folder != Folder::kEmpty) {
            WriteFile(dir.File("data"), ReadFile(DataFile("cipher/journals/sample/plain/data")));
            if (c.folder == Folder::kEnciphered) {
                ASSERT_TRUE(EncryptFile(dir.File("data"), c.password));
            }
        }
        const auto before = Snapshot(dir.path());
        PtyProcess program(JC_CONVERTER_PATH, c.args, dir.path());
        for (size_t i = 0; i < c.dialog.size(); ++i) {
            const std::string shown = Replace(c.dialog[i].shown, "<dir>", dir.path());
            ASSERT_TRUE(program.WaitFor(shown)) << program.Screen() << program.Err();
            // The password never shows; the answers and nothing else do.
            EXPECT_EQ(shown, program.Screen());
            const bool pause = i + 1 == c.dialog.size() && (c.exitStatus == 0 || c.exitStatus == 2);
            if (pause) {
                EXPECT_EQ(-1, program.Wait(200)) << "no pause";
            }
            // Nothing in the folder changes while a person is asked.
            if (!pause || c.exitStatus != 0) {
                EXPECT_EQ(before, Snapshot(dir.path())) << "changed before step " << i;
            }
            if (c.dialog[i].keys == kHangUp)
                program.HangUp();
            else
                program.Type(c.dialog[i].keys);
        }
        EXPECT_EQ(c.exitStatus, program.Wait(20000)) << program.Err();
        EXPECT_EQ(0u, program.Err().find(Replace(c.err, "<dir>", dir.path()))) << program.Err();
        // A closed terminal has no settings left to put back.
        EXPECT_TRUE(c.exitStatus == 129 || program.EchoOn())
            << "the terminal was left without echo";
        if (c.exitStatus != 0) {
            EXPECT_EQ(before, Snapshot(dir.path())) << "the folder is not as it was";
        } else if (c.folder == Folder::kWestern && c.exitStatus == 0) {
            const std::string xml = ReadFile(dir.File("data.xml"));
            EXPECT_EQ(c.args.empty(), xml.find("caf&#233; au lait") != std::string::npos);
        }
    }
}
