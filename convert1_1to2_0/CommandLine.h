#pragma once

#include <string>
#include <vector>

// What the command line asks for:
//   convert1_1to2_0 [--help | --version] | [--check] [--codepage=N] [--] [PASSWORD]
// Only those exact spellings are options, each given once. Any other
// argument that begins with "--" is a slip (an unknown or misspelt option):
// a password that begins with "--" goes after "--", which ends the options.
// Other arguments, even "-v", are the password.
struct CommandLine {
    // kCheck: tell what a conversion would do, changing nothing.
    enum class Action { kConvert, kCheck, kHelp, kVersion, kError };
    Action action = Action::kConvert;
    std::string password;
    bool passwordGiven = false;  // an empty argument counts: it says "no password"
    // The password argument begins with "-" and stands before any "--": the
    // user may have meant an option.
    bool passwordLooksLikeOption = false;
    int codePage = 0;
    bool codePageChosen = false;  // --codepage was given
    std::string error;            // for kError: what is wrong, ready to show the user
};

// `args` are the arguments after the program's name; `defaultCodePage` stands
// when no --codepage is given. --help or --version anywhere before "--" wins
// over everything else, errors included.
CommandLine ParseCommandLine(const std::vector<std::string>& args, int defaultCodePage);

// The synopsis line of the usage text.
extern const char kUsageLine[];
// The options as a sentence names them: "--help (-h), --version, ...".
extern const char kOptionList[];
