#pragma once

#include <string>
#include <vector>

#include "platform/Status.h"

namespace platform {

// Running another program to its end. The converter itself never does; its
// tests do, to run the built program (or a test program itself) as a user
// would, and to watch a run that ends the process.

// Runs `program` with `arguments` in `folder`, with standard input at its end
// at once, and standard output and error written to the files `outputPath`
// and `errorPath` (created or truncated), and waits for it. *exitStatus is
// its exit code, or 128 + the signal that ended it.
Status RunChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::string& outputPath,
                       const std::string& errorPath, int* exitStatus);

// The absolute path of the running program's own file.
Status CurrentProgramPath(std::string* path);

}  // namespace platform
