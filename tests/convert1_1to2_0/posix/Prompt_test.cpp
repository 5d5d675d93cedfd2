// The program run by a person at a terminal: the password prompt and the
// pause after "Done", driven through a pseudo-terminal.
#include <gtest/gtest.h>

#include <functional>

#include "support/Journals.h"
#include "support/TestSupport.h"
#include "support/posix/Pty.h"

using namespace testing_support;

namespace {

const char kCp1251Password[] = "\xef\xe0\xf0\xee\xeb\xfc";  // "пароль"

std::string Sample(const std::string& scheme) {
    return ReadFile(DataFile("cipher/journals/sample/" + scheme + "/data"));
}

void Enciphered(const std::string& dir, const std::string& password, CipherScheme scheme) {
    WriteFile(dir + "/data", Sample("plain"));
    ASSERT_TRUE(EncryptFile(dir + "/data", password, scheme));
}

struct PromptCase {
    std::string name;
    std::function<void(const std::string& dir)> setUp;
    std::vector<std::string> args;
    std::string typed;      // at the prompt; empty: no prompt expected
    std::string screen;     // up to "Done"
    std::string err;        // the start of standard error
    std::string pauseKeys;  // what ends the pause
    int exitStatus;
};

}  // namespace

TEST(PromptTest, ThePasswordIsAskedForOnlyWhenNeededAndNeverShown) {
    auto dream = [](const std::string& d) { Enciphered(d, "dream", CipherScheme::kCurrent); };
    const std::string wrong = "Password: \nWrong password!\nError converting file\nDone";
    const std::string converted = "Converted 4 dreams (2 lucid), 3 places and 2 positions";
    const std::vector<PromptCase> cases = {
        {"right password", dream, {}, "dream\n", "Password: \nDone", converted, "\n", 0},
        {"wrong password", dream, {}, "dreams\n", wrong, "", "x\n", 2},
        {"Enter alone", dream, {}, "\n", wrong, "", "\x04", 2},
        {"end of input at the prompt",
         dream,
         {},
         "\x04",
         wrong,
         "The password was not read: end of input before the password.\n",
         "\n",
         2},
        {"typed in UTF-8, enciphered in the code page",
         [](const std::string& d) { Enciphered(d, kCp1251Password, CipherScheme::kBase); },
         {},
         "пароль\n",
         "Password: \nDone",
         converted,
         "\n",
         0},
        // What worked before asks nothing.
        {"password given", dream, {"dream"}, "", "Done", converted, "\n", 0},
        {"wrong password given", dream, {"dreams"}, "", wrong.substr(11), "", "\n", 2},
        {"empty password given", dream, {""}, "", wrong.substr(11), "", "\n", 2},
        {"plain journal",
         [](const std::string& d) { WriteFile(d + "/data", Sample("plain")); },
         {},
         "",
         "Done",
         converted,
         "\x04",
         0},
        {"enciphered with the empty password",
         [](const std::string& d) { Enciphered(d, "", CipherScheme::kCurrent); },
         {},
         "",
         "Done",
         converted,
         "\n",
         0},
    };
    for (const PromptCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.setUp(dir.path());
        PtyProcess program(JC_CONVERTER_PATH, c.args, dir.path());
        if (!c.typed.empty()) {
            ASSERT_TRUE(program.WaitFor("Password: ")) << program.Screen();
            program.Type(c.typed);
        }
        ASSERT_TRUE(program.WaitFor("Done")) << program.Screen() << program.Err();
        EXPECT_EQ(c.screen, program.Screen());
        EXPECT_EQ(0u, program.Err().find(c.err)) << program.Err();
        // The pause holds until a line or the end of input comes.
        EXPECT_TRUE(program.StillRunning(200));
        program.Type(c.pauseKeys);
        EXPECT_EQ(c.exitStatus, program.Wait());
        EXPECT_TRUE(program.EchoOn()) << "the terminal was left without echo";
    }
}
