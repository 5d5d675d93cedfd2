#include "convert1_1to2_0/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Action = CommandLine::Action;

struct Case {
    std::vector<std::string> args;
    Action action;
    std::string password;  // for kConvert; "(none)": none given. For kError: in the message
    int codePage;
    bool mayBeOption = false;  // the password looks like a mistyped option
};

TEST(CommandLineTest, ParsesEachForm) {
    const Action convert = Action::kConvert, error = Action::kError;
    const std::string unknown =
        "supported code pages are 874, 1250, 1251, 1252, 1253, 1254, "
        "1255, 1256, 1257, 1258";
    const std::vector<Case> cases = {
        {{}, convert, "(none)", 1251},
        {{""}, convert, "", 1251},
        // Only the exact spellings are options; "--" ends them. A single
        // dash starts a password, which may be a slip.
        {{"-x"}, convert, "-x", 1251, true},
        {{"-"}, convert, "-", 1251},
        {{"--", "-x"}, convert, "-x", 1251},
        {{"--", "--help"}, convert, "--help", 1251},
        {{"--", "--"}, convert, "--", 1251},
        {{"pw", "--codepage=874"}, convert, "pw", 874},
        {{"--codepage=001250", "--", "-h"}, convert, "-h", 1250},
        // Slips of an option's spelling are errors that show the right one.
        {{"--codepage", "1252", "pw"},
         error,
         "the value of --codepage goes after \"=\", as in --codepage=1252;",
         0},
        {{"--codepage"}, error, "as in --codepage=N;", 0},
        {{"--Codepage=1252"},
         error,
         "unknown option \"--Codepage=1252\" (did you mean --codepage=1252?); the options are "
         "--help (-h), --version, --check, --codepage=N and --. A password that begins with \"--\" "
         "goes "
         "after \"--\": convert1_1to2_0 -- --Codepage=1252",
         0},
        {{"pw", "--verbose"}, error, "unknown option \"--verbose\"; the options are", 0},
        {{"--HELP"}, error, "(did you mean --help?)", 0},
        {{"--codepage=1251", "--codepage=1252"},
         error,
         "--codepage is given twice (\"--codepage=1251\" and \"--codepage=1252\"); give each "
         "option once. The options are",
         0},
        {{"--codepage=1252", "--check", "pw"}, Action::kCheck, "pw", 1252},
        {{"--", "--check"}, convert, "--check", 1251},
        {{"--check", "pw", "--check"}, error, "--check is given twice", 0},
        {{"--Check"}, error, "(did you mean --check?)", 0},
        {{"--check", "--version"}, Action::kVersion, "", 0},
        {{"--version", "--verbose"}, Action::kVersion, "", 0},
        {{"pw", "--codepage=7", "--help", "two"}, Action::kHelp, "", 0},
        {{"--version", "--help"}, Action::kHelp, "", 0},
        {{"--version", "a", "b"}, Action::kVersion, "", 0},
        {{"a", "--", "b", "c"},
         error,
         "3 password arguments given where one is expected; quote a "
         "password that contains blanks",
         0},
        {{"--codepage=1259"}, error, "\"1259\" in \"--codepage=1259\"; the " + unknown, 0},
        {{"--codepage=abc", "pw"}, error, "unknown code page \"abc\"", 0},
        {{"--codepage=+1251"}, error, unknown, 0},
        {{"--codepage=4294968547"}, error, unknown, 0},
    };
    for (const Case& c : cases) {
        std::string context;
        for (const std::string& arg : c.args)
            context += "[" + arg + "] ";
        const CommandLine line = ParseCommandLine(c.args, 1251);
        EXPECT_EQ(c.action, line.action) << context << line.error;
        if (c.action == convert || c.action == Action::kCheck) {
            EXPECT_EQ(c.password, line.passwordGiven ? line.password : "(none)") << context;
            EXPECT_EQ(c.codePage, line.codePage) << context;
            EXPECT_EQ(c.mayBeOption, line.passwordLooksLikeOption) << context;
        }
        EXPECT_NE(std::string::npos, line.error.find(c.action == error ? c.password : ""))
            << context << line.error;
    }
}

}  // namespace
