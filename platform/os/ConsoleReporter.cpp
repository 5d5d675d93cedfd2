#include "platform/Reporter.h"
#include "platform/os/Console.h"

namespace platform {

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

void EmergencyLine(const char* text) {
    WriteToStandardErrorRaw(text);
    WriteToStandardErrorRaw("\n");
}

}  // namespace platform
