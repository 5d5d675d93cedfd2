#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace platform {

// The console the program talks to: what differs between the platforms. The
// program's messages reach it through the Reporter (platform/Reporter.h).

// Writes `utf8` to standard output or standard error as the platform shows
// text: as it is on a POSIX system; on Windows as characters to a console,
// and with CR LF line ends to a file or a pipe. False when the text could not
// be written (a closed pipe, a full disk); the caller goes on.
bool WriteToStandardOutput(std::string_view utf8);
bool WriteToStandardError(std::string_view utf8);

// The same for a last word, from anywhere, even a signal handler: nothing is
// allocated, nothing waits.
void WriteToStandardErrorRaw(const char* text);

// The command-line arguments after the program's name, as UTF-8 (on Windows
// taken from the wide command line, so any character survives).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// True when standard input is a terminal (a console) a person can type at.
bool StandardInputIsTerminal();

// Shows `prompt` on the terminal, reads one line with echo off and gives it
// back without its line end, as UTF-8. Fails at the end of input, when there
// is no terminal, or when an interrupt arrives while waiting.
Status ReadHiddenLine(const std::string& prompt, std::string* line);

// The same with the line shown as it is typed: the answer to a question.
// What was typed before the question appeared does not answer it.
Status ReadTerminalLine(const std::string& prompt, std::string* line);

// Writes `utf8` to the terminal the questions are asked on (the console on
// Windows), never to standard output. False when there is none.
bool WriteToTerminal(std::string_view utf8);

// True when the console window belongs to this program alone (Windows: it
// was started by a double-click and the window closes when it ends), so
// every message must wait for a key before the program ends.
bool OwnsConsoleWindow();

}  // namespace platform
