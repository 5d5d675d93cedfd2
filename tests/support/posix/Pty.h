#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testing_support {

// A program run as a person at a terminal runs it: a pseudo-terminal is its
// controlling terminal, standard input and standard output; standard error
// goes to a file, kept apart.
class PtyProcess {
  public:
    PtyProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& dir);
    ~PtyProcess();  // kills the program if it still runs
    PtyProcess(const PtyProcess&) = delete;
    PtyProcess& operator=(const PtyProcess&) = delete;

    bool WaitFor(const std::string& text);  // false when it does not appear in time
    void Type(const std::string& keys);     // "\n" is Enter, "\x04" the end of input
    void HangUp();                          // the terminal's window closes
    int Wait(int milliseconds);             // the exit status, or -1 while it runs
    std::string Screen() const;             // what the terminal showed, line ends as "\n"
    std::string Err() const { return ReadFile(capture_.File("err")); }
    bool EchoOn() const;

  private:
    bool Read(int milliseconds);

    TempDir capture_;
    int master_ = -1;
    int slave_ = -1;  // held, so that output stays readable after the program ends
    pid_t pid_ = -1;
    int status_ = -1;
    std::string screen_;
};

}  // namespace testing_support
