#pragma once

#include <iosfwd>

// The program: converts the journal in the current folder with the password
// given as the first argument, prints its messages and waits for a character.
// Returns the exit status: 0 when the conversion ran its course (the password
// may have been wrong), 1 when an error ended it (reported on `err`).
int RunProgram(int argc, const char* const* argv, std::istream& in, std::ostream& out,
               std::ostream& err);
