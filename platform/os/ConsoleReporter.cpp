#include "platform/Reporter.h"
#include "platform/os/Console.h"

namespace platform {

ConsoleReporter::ConsoleReporter() : person_(StandardInputIsTerminal()) {}

// Each text goes out at once, unbuffered: the order of standard output and
// standard error is the order they were said in, and nothing is left in a
// buffer when the process ends abruptly.
void ConsoleReporter::Output(std::string_view text) {
    if (!WriteToStandardOutput(text))
        ok_ = false;
}

void ConsoleReporter::Line(std::string_view text) {
    std::string line(text);
    line += '\n';
    if (!WriteToStandardError(line))
        ok_ = false;
}

bool ConsoleReporter::Ask(std::string_view question, std::string* answer) {
    answer->clear();
    return person_ && ReadTerminalLine(std::string(question), answer).ok();
}

void ConsoleReporter::Tell(std::string_view text) {
    if (person_)
        WriteToTerminal(text);
}

bool IsYes(std::string_view answer) {
    const size_t first = answer.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return false;
    answer = answer.substr(first, answer.find_last_not_of(" \t") + 1 - first);
    std::string lower;
    for (char c : answer)
        lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
    // The Cyrillic letters in UTF-8, either case.
    for (const char* yes : {"y", "yes", "\xd0\xb4", "\xd0\x94", "\xd0\xb4\xd0\xb0",
                            "\xd0\x94\xd0\xb0", "\xd0\xb4\xd0\x90", "\xd0\x94\xd0\x90"}) {
        if (lower == yes)
            return true;
    }
    return false;
}

void EmergencyLine(const char* text) {
    WriteToStandardErrorRaw(text);
    WriteToStandardErrorRaw("\n");
}

}  // namespace platform
