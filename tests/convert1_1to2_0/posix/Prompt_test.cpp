// The program run by a person at a terminal: the password prompt and the
// pause after "Done", driven through a pseudo-terminal.
#include <gtest/gtest.h>

#include "support/Journals.h"
#include "support/TestSupport.h"
#include "support/posix/Pty.h"

using namespace testing_support;

namespace {

struct PromptCase {
    std::vector<std::string> args;
    const char* journalPassword;  // null: a plain journal
    std::string typed;            // at the prompt; empty: no prompt expected
    std::string screen;           // up to "Done"
    std::string err;              // what standard error begins with
    std::string pauseKeys;        // what ends the pause
    int exitStatus;
};

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
    };
    for (const PromptCase& c : cases) {
        SCOPED_TRACE(c.typed + " " + (c.args.empty() ? "-" : c.args[0]));
        TempDir dir;
        WriteFile(dir.File("data"), ReadFile(DataFile("cipher/journals/sample/plain/data")));
        if (c.journalPassword != nullptr) {
            ASSERT_TRUE(EncryptFile(dir.File("data"), c.journalPassword));
        }
        PtyProcess program(JC_CONVERTER_PATH, c.args, dir.path());
        if (!c.typed.empty()) {
            ASSERT_TRUE(program.WaitFor("Password: ")) << program.Screen();
            program.Type(c.typed);
        }
        ASSERT_TRUE(program.WaitFor("Done")) << program.Screen() << program.Err();
        EXPECT_EQ(c.screen, program.Screen());  // the password never shows
        EXPECT_EQ(0u, program.Err().find(c.err)) << program.Err();
        EXPECT_EQ(-1, program.Wait(200)) << "no pause";
        program.Type(c.pauseKeys);
        EXPECT_EQ(c.exitStatus, program.Wait(20000));
        EXPECT_TRUE(program.EchoOn()) << "the terminal was left without echo";
    }
}
