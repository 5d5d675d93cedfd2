#include "convert1_1to2_0/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Action = CommandLine::Action;

struct Case {
    std::vector<std::string> args;
    Action action;
    std::string password;  // for kConvert
    bool passwordGiven;
    int codePage;          // for kConvert
    std::string errorHas;  // for kError
};

TEST(CommandLineTest, ParsesEachForm) {
    const std::string blanks = "quote a password that contains blanks";
    const std::string unknown =
        "the supported code pages are 874, 1250, 1251, 1252, 1253, 1254, "
        "1255, 1256, 1257, 1258";
    const std::vector<Case> cases = {
        {{}, Action::kConvert, "", false, 1251, ""},
        {{""}, Action::kConvert, "", true, 1251, ""},
        {{"my password"}, Action::kConvert, "my password", true, 1251, ""},
        // Anything not spelled exactly as an option is the password.
        {{"-x"}, Action::kConvert, "-x", true, 1251, ""},
        {{"-"}, Action::kConvert, "-", true, 1251, ""},
        {{"--HELP"}, Action::kConvert, "--HELP", true, 1251, ""},
        {{"--codepage"}, Action::kConvert, "--codepage", true, 1251, ""},
        {{"-help"}, Action::kConvert, "-help", true, 1251, ""},
        // "--" ends the options.
        {{"--", "--help"}, Action::kConvert, "--help", true, 1251, ""},
        {{"--", "--"}, Action::kConvert, "--", true, 1251, ""},
        {{"--", "--codepage=1"}, Action::kConvert, "--codepage=1", true, 1251, ""},
        {{"--"}, Action::kConvert, "", false, 1251, ""},
        {{"--codepage=1252", "pw"}, Action::kConvert, "pw", true, 1252, ""},
        {{"pw", "--codepage=874"}, Action::kConvert, "pw", true, 874, ""},
        {{"--codepage=001251"}, Action::kConvert, "", false, 1251, ""},
        {{"--codepage=1250", "--codepage=1257"}, Action::kConvert, "", false, 1257, ""},
        {{"--codepage=1250", "--", "-h"}, Action::kConvert, "-h", true, 1250, ""},
        {{"--help"}, Action::kHelp, "", false, 0, ""},
        {{"-h"}, Action::kHelp, "", false, 0, ""},
        {{"pw", "--help", "two", "three"}, Action::kHelp, "", false, 0, ""},
        {{"--codepage=7", "-h"}, Action::kHelp, "", false, 0, ""},
        {{"--version", "--help"}, Action::kHelp, "", false, 0, ""},
        {{"--version"}, Action::kVersion, "", false, 0, ""},
        {{"--version", "a", "b"}, Action::kVersion, "", false, 0, ""},
        {{"my", "password"}, Action::kError, "", false, 0, "2 password arguments"},
        {{"a", "--", "b"}, Action::kError, "", false, 0, blanks},
        {{"--", "a", "b", "c"}, Action::kError, "", false, 0, "3 password arguments"},
        {{"--codepage=1259"},
         Action::kError,
         "",
         false,
         0,
         "\"1259\" in \"--codepage=1259\"; " + unknown},
        {{"--codepage="}, Action::kError, "", false, 0, unknown},
        {{"--codepage=abc", "pw"}, Action::kError, "", false, 0, "unknown code page \"abc\""},
        {{"--codepage=+1251"}, Action::kError, "", false, 0, unknown},
        {{"--codepage= 1251"}, Action::kError, "", false, 0, unknown},
        {{"--codepage=4294968547"}, Action::kError, "", false, 0, unknown},
    };
    for (const Case& c : cases) {
        std::string context;
        for (const std::string& arg : c.args)
            context += "[" + arg + "] ";
        const CommandLine line = ParseCommandLine(c.args, 1251);
        EXPECT_EQ(c.action, line.action) << context << line.error;
        if (c.action == Action::kConvert) {
            EXPECT_EQ(c.password, line.password) << context;
            EXPECT_EQ(c.passwordGiven, line.passwordGiven) << context;
            EXPECT_EQ(c.codePage, line.codePage) << context;
        }
        if (c.action == Action::kError) {
            EXPECT_NE(std::string::npos, line.error.find(c.errorHas)) << context << line.error;
        }
    }
}

}  // namespace
