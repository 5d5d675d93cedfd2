#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testing_support {

// What the FaultInjectionEnv of a child run does (see FaultInjectionEnv.h).
struct FaultPlan {
    uint64_t failAt = 0;  // 0: no operation fails
    bool failFromThenOn = false;
    uint64_t crashAfter = 0;  // 0: the run is not stopped
    bool readOnly = false;
    uint64_t cipherFailAt = 0;  // 0: the cryptographic service does not fail
};

// Runs the program's entry in a child process, in folder `dir`, with
// standard input at its end, the file system seen through a
// FaultInjectionEnv and the cryptographic service through a
// FaultInjectionCrypto that follow `plan`. A fatal check or a simulated crash
// ends only the child. `operations` and `cipherCalls` (when given) receive
// the number of file-system operations and of calls to the cryptographic
// service of a run that returned.
//
// The child is this test program started again with a hidden argument, so
// it works where a process cannot be forked.
ProcessResult RunProgramInChild(const std::string& dir, const std::vector<std::string>& args,
                                const FaultPlan& plan, uint64_t* operations = nullptr,
                                uint64_t* cipherCalls = nullptr);

// The test program's entry calls this first: when its arguments ask for a
// child run, it does the run and gives the exit status to end with.
bool IsChildRun(int argc, char** argv);
int RunChild(char** argv);

}  // namespace testing_support
