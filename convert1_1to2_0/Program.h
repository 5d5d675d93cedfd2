#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Reporter.h"
#include "platform/Status.h"

// What the program talks to.
struct ProgramConsole {
    std::istream& in;
    // Everything the program says goes through it.
    platform::Reporter& reporter;
    // Asks the user for the password without showing it; empty when there is
    // no terminal to ask on.
    std::function<platform::Status(std::string* password)> askPassword;
};

// The program: converts the journal in the current folder as the command
// line `args` (the arguments after the program's name) asks, prints its
// messages and, after "Done", waits for a line of input. Returns the exit
// status: 0 converted (or help or version shown), 1 an error ended the run,
// 2 the password did not open the journal, 128 + n stopped by signal n.
int RunProgram(const std::vector<std::string>& args, const ProgramConsole& console);

// The same with C arguments and nobody to ask for a password.
int RunProgram(int argc, const char* const* argv, std::istream& in, platform::Reporter& reporter);

// The exit statuses beside 0 and platform::kFatalExitStatus.
constexpr int kErrorExitStatus = 1;
constexpr int kWrongPasswordExitStatus = 2;
