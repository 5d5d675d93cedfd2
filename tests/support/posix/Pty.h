#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

#include "support/TestSupport.h"

namespace testing_support {

// A program run on a pseudo-terminal of its own, as a person at a terminal
// runs it: the terminal is its controlling terminal, standard input and
// standard output; standard error goes to a file, kept apart.
class PtyProcess {
  public:
    PtyProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& dir);
    ~PtyProcess();  // kills the program if it still runs
    PtyProcess(const PtyProcess&) = delete;
    PtyProcess& operator=(const PtyProcess&) = delete;

    // Reads the terminal until `text` has appeared on it; false after
    // `seconds` without it.
    bool WaitFor(const std::string& text, int seconds = 20);
    // Types on the keyboard ("\n" is Enter, "\x04" is end of input).
    void Type(const std::string& keys);
    // True while the program runs (after it has had `milliseconds` to end).
    bool StillRunning(int milliseconds);
    // Waits for the end: the exit status, or -1 after `seconds`.
    int Wait(int seconds = 20);

    // What the terminal showed so far, line ends as "\n".
    std::string Screen() const;
    std::string Err() const;
    // Whether the terminal echoes what is typed (read after the program ended).
    bool EchoOn() const;

  private:
    bool ReadAvailable(int timeoutMs);

    TempDir capture_;
    int master_ = -1;
    int slave_ = -1;  // held open, so that what the program wrote can be read after it ended
    pid_t pid_ = -1;
    int status_ = -1;
    std::string screen_;
};

}  // namespace testing_support
