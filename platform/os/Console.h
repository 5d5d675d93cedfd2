#pragma once

#include <string>
#include <vector>

#include "platform/Status.h"

namespace platform {

// The console the program talks to. Standard output and error stay the
// caller's streams; this is what differs between the platforms.

// While alive, what the program writes to std::cout and std::cerr shows on a
// console as the UTF-8 it is (file names, the system's messages). Terminals
// here take UTF-8 as it is; on Windows the text goes to the console as
// characters rather than through the C runtime's code page.
class ConsoleSession {
  public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;
};

// The command-line arguments after the program's name, as UTF-8 (on Windows
// taken from the wide command line, so any character survives).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// True when standard input is a terminal (a console) a person can type at.
bool StandardInputIsTerminal();

// Shows `prompt` on the terminal, reads one line with echo off and gives it
// back without its line end, as UTF-8. Fails at the end of input, when there
// is no terminal, or when an interrupt arrives while waiting.
Status ReadHiddenLine(const std::string& prompt, std::string* line);

// True when the console window belongs to this program alone (Windows: it
// was started by a double-click and the window closes when it ends), so
// every message must wait for a key before the program ends.
bool OwnsConsoleWindow();

}  // namespace platform
