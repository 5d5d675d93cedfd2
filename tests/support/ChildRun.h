#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/FaultInjectionEnv.h"
#include "support/TestSupport.h"

namespace testing_support {

// Runs the program's entry in a child process, in folder `dir`, with
// standard input at its end and the file system seen through a
// FaultInjectionEnv that `configure` sets up. A fatal check or a simulated
// crash ends only the child. `operations` (when given) receives the number
// of file-system operations of a run that returned.
ProcessResult RunProgramInChild(const std::string& dir, const std::vector<std::string>& args,
                                const std::function<void(platform::FaultInjectionEnv&)>& configure,
                                uint64_t* operations = nullptr);

}  // namespace testing_support
