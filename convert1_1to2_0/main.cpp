#include <iostream>

#include "convert1_1to2_0/Program.h"
#include "platform/Reporter.h"
#include "platform/os/Console.h"

int main(int argc, char** argv) {
    platform::ConsoleReporter reporter;
    ProgramConsole console{std::cin, reporter, nullptr};
    // Only a person at a terminal is asked; a script gets the run it always got.
    if (platform::StandardInputIsTerminal())
        console.askPassword = [](std::string* password) {
            return platform::ReadHiddenLine("Password: ", password);
        };
    return RunProgram(platform::ProgramArguments(argc, argv), console);
}
