// The program run by a person at a terminal: the password prompt and the
// pause after "Done", driven through a pseudo-terminal.
#include <gtest/gtest.h>

#include <map>

#include "support/Journals.h"
#include "support/TestSupport.h"
#include "support/posix/Pty.h"

using namespace testing_support;

namespace {

struct PromptCase {
    std::vector<std::string> args;
    const char* journalPassword;  // null: a plain journal
    std::string typed;            // at the prompt; empty: no prompt expected
    std::string screen;           // up to "Done", or all of it when stopped
    std::string err;              // what standard error begins with
    std::string pauseKeys;        // what ends the pause
    int exitStatus;               // 128 + n: stopped by signal n, with no pause
    bool hangUp = false;          // at the prompt, the terminal's window closes
};

// Each file of the folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : ListFolder(dir))
        files[name] = ReadFile(dir + "/" + name);
    return files;
}

}  // namespace

TEST(PromptTest, ThePasswordIsAskedForOnlyWhenNeededAndNeverShown) {
    const std::string wrong = "Wrong password!\nError converting file\nDone";
    const std::string done = "Converted 4 dreams (2 lucid), 3 places and 2 positions";
    const std::vector<PromptCase> cases = {
        {{}, "dream", "dream\n", "Password: \nDone", done, "\n", 0},
        {{}, "dream", "dreams\n", "Password: \n" + wrong, "", "x\n", 2},
        {{}, "dream", "\n", "Password: \n" + wrong, "", "\x04", 2},
        {{}, "dream", "\x04", "Password: \n" + wrong, "The password was not read", "\n", 2},
        // Typed in UTF-8, enciphered in Windows-1251.
        {{}, "\xef\xe0\xf0\xee\xeb\xfc", "пароль\n", "Password: \nDone", done, "\n", 0},
        // What worked before asks nothing.
        {{"dream"}, "dream", "", "Done", done, "\n", 0},
        {{""}, "dream", "", wrong, "", "\n", 2},
        {{}, nullptr, "", "Done", done, "\x04", 0},
        {{}, "", "", "Done", done, "\n", 0},
        // Stopped at the prompt, the run puts back what it had begun.
        {{},
         "dream",
         "\x03",
         "Password: \n",
         "Stopped: interrupted by SIGINT (Ctrl-C). The journal is as it was found.\n",
         "",
         130},
        {{},
         "dream",
         "",
         "Password: ",
         "Stopped: interrupted by SIGHUP (the terminal was closed). The journal is as it was "
         "found.\n",
         "",
         129,
         true},
    };
    for (const PromptCase& c : cases) {
        SCOPED_TRACE(c.typed + " " + (c.args.empty() ? "-" : c.args[0]));
        TempDir dir;
        WriteFile(dir.File("data"), ReadFile(DataFile("cipher/journals/sample/plain/data")));
        if (c.journalPassword != nullptr) {
            ASSERT_TRUE(EncryptFile(dir.File("data"), c.journalPassword));
        }
        const auto before = Snapshot(dir.path());
        PtyProcess program(JC_CONVERTER_PATH, c.args, dir.path());
        if (!c.typed.empty() || c.hangUp) {
            ASSERT_TRUE(program.WaitFor("Password: ")) << program.Screen();
            if (c.hangUp)
                program.HangUp();
            else
                program.Type(c.typed);
        }
        if (c.exitStatus < 128) {
            ASSERT_TRUE(program.WaitFor("Done")) << program.Screen() << program.Err();
            EXPECT_EQ(c.screen, program.Screen());  // the password never shows
            EXPECT_EQ(-1, program.Wait(200)) << "no pause";
            program.Type(c.pauseKeys);
        }
        EXPECT_EQ(c.exitStatus, program.Wait(20000));
        EXPECT_EQ(c.screen, c.exitStatus < 128 ? c.screen : program.Screen());
        EXPECT_EQ(0u, program.Err().find(c.err)) << program.Err();
        // A closed terminal has no settings left to put back.
        EXPECT_TRUE(c.hangUp || program.EchoOn()) << "the terminal was left without echo";
        if (c.exitStatus != 0) {
            EXPECT_TRUE(before == Snapshot(dir.path())) << "the folder was changed";
        }
    }
}
