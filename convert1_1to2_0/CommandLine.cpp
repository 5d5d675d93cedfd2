#include "convert1_1to2_0/CommandLine.h"

#include "platform/Status.h"
#include "platform/text/CodePage.h"

const char kUsageLine[] =
    "convert1_1to2_0 [--help | --version] | [--check] [--codepage=N] [--] [PASSWORD]";
const char kOptionList[] = "--help (-h), --version, --check, --codepage=N and --";

namespace {

const std::string kCodePageOption = "--codepage";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Plain decimal digits naming a supported code page; nothing else is taken,
// so a typing slip cannot pick a code page by accident.
bool ParseCodePage(const std::string& text, int* codePage) {
    if (!AllDigits(text))
        return false;
    int value = 0;
    for (char c : text) {
        if (value > 99999)
            return false;
        value = value * 10 + (c - '0');
    }
    *codePage = value;
    return platform::IsSupportedCodePage(value);
}

// The message for an argument spelled like an option that is none: the
// right spelling when only the letters' case is wrong.
std::string UnknownOption(const std::string& arg) {
    const size_t equals = arg.find('=');
    const std::string name = Lower(arg.substr(0, equals));
    std::string meant;
    if (name == kCodePageOption)
        meant = kCodePageOption + (equals == std::string::npos ? "=N" : arg.substr(equals));
    else if (equals == std::string::npos &&
             (name == "--help" || name == "--version" || name == "--check"))
        meant = name;
    std::string message = "unknown option " + platform::Quoted(arg);
    if (!meant.empty())
        message += " (did you mean " + meant + "?)";
    return message + "; the options are " + kOptionList +
           ". A password that begins with \"--\" goes after \"--\": convert1_1to2_0 -- " + arg;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, int defaultCodePage) {
    CommandLine line;
    line.codePage = defaultCodePage;
    std::string error;
    auto fail = [&error](const std::string& message) {
        if (error.empty())
            error = message;
    };
    int passwords = 0;
    bool optionsEnded = false;
    bool check = false;
    std::string codePageArg;  // the --codepage=N given, for a repeat's message
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool maybeOption = false;
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
            if (arg == "--check") {
                if (check)
                    fail("--check is given twice; give each option once. The options are " +
                         std::string(kOptionList));
                check = true;
                continue;
            }
            if (arg == kCodePageOption) {
                // "--codepage 1252": the value given apart is taken as the
                // option's, so that it does not count as a password too.
                const bool valueFollows = i + 1 < args.size() && AllDigits(args[i + 1]);
                fail("the value of --codepage goes after \"=\", as in " + kCodePageOption + "=" +
                     (valueFollows ? args[i + 1] : "N") + "; the supported code pages are " +
                     platform::SupportedCodePageList());
                i += valueFollows ? 1 : 0;
                continue;
            }
            if (StartsWith(arg, kCodePageOption + "=")) {
                const std::string value = arg.substr(kCodePageOption.size() + 1);
                if (line.codePageChosen)
                    fail("--codepage is given twice (" + platform::Quoted(codePageArg) + " and " +
                         platform::Quoted(arg) + "); give each option once. The options are " +
                         kOptionList);
                line.codePageChosen = true;
                codePageArg = arg;
                if (!ParseCodePage(value, &line.codePage))
                    fail("unknown code page " + platform::Quoted(value) + " in " +
                         platform::Quoted(arg) + "; the supported code pages are " +
                         platform::SupportedCodePageList());
                continue;
            }
            if (StartsWith(arg, "--")) {
                fail(UnknownOption(arg));
                continue;
            }
            maybeOption = arg.size() > 1 && arg[0] == '-';
        }
        if (++passwords == 1) {
            line.password = arg;
            line.passwordGiven = true;
            line.passwordLooksLikeOption = maybeOption;
        }
    }
    if (line.action == CommandLine::Action::kVersion)
        return line;
    if (passwords > 1)
        fail(std::to_string(passwords) +
             " password arguments given where one is expected; quote a password that contains "
             "blanks");
    if (!error.empty()) {
        line.action = CommandLine::Action::kError;
        line.error = error;
    } else if (check) {
        line.action = CommandLine::Action::kCheck;
    }
    return line;
}
