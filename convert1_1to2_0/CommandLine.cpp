#include "convert1_1to2_0/CommandLine.h"

#include "platform/text/CodePage.h"

const char kUsageLine[] = "convert1_1to2_0 [--help | --version] | [--codepage=N] [--] [PASSWORD]";

namespace {

const std::string kCodePageOption = "--codepage=";

// Plain decimal digits naming a supported code page; nothing else is taken,
// so a typing slip cannot pick a code page by accident.
bool ParseCodePage(const std::string& text, int* codePage) {
    if (text.empty())
        return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 99999)
            return false;
        value = value * 10 + (c - '0');
    }
    *codePage = value;
    return platform::IsSupportedCodePage(value);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, int defaultCodePage) {
    CommandLine line;
    line.codePage = defaultCodePage;
    std::string error;
    int passwords = 0;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded) {
            if (arg == "--help" || arg == "-h") {
                line.action = CommandLine::Action::kHelp;
                return line;
            }
            if (arg == "--version") {
                line.action = CommandLine::Action::kVersion;
                continue;  // a later --help still wins
            }
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            if (arg.compare(0, kCodePageOption.size(), kCodePageOption) == 0) {
                const std::string value = arg.substr(kCodePageOption.size());
                line.codePageChosen = true;
                if (!ParseCodePage(value, &line.codePage) && error.empty())
                    error = "unknown code page \"" + value + "\" in \"" + arg +
                            "\"; the supported code pages are " + platform::SupportedCodePageList();
                continue;
            }
        }
        if (++passwords == 1) {
            line.password = arg;
            line.passwordGiven = true;
        }
    }
    if (line.action == CommandLine::Action::kVersion)
        return line;
    if (error.empty() && passwords > 1)
        error = std::to_string(passwords) +
                " password arguments given where one is expected; quote a password that contains "
                "blanks";
    if (!error.empty()) {
        line.action = CommandLine::Action::kError;
        line.error = error;
    }
    return line;
}
