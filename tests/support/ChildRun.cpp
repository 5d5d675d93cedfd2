#include "support/ChildRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "convert1_1to2_0/Program.h"

namespace testing_support {

ProcessResult RunProgramInChild(const std::string& dir, const std::vector<std::string>& args,
                                const std::function<void(platform::FaultInjectionEnv&)>& configure,
                                uint64_t* operations) {
    TempDir capture;
    std::cout.flush();
    std::cerr.flush();
    pid_t pid = ::fork();
    if (pid == 0) {
        int out = ::open(capture.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(capture.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::chdir(dir.c_str()) != 0)
            ::_exit(127);
        ::dup2(out, 1);
        ::dup2(err, 2);
        platform::FaultInjectionEnv env(platform::Env::Real());
        configure(env);
        std::vector<const char*> argv = {"convert1_1to2_0"};
        for (const std::string& arg : args)
            argv.push_back(arg.c_str());
        int status;
        {
            platform::ScopedEnv scoped(env);
            std::istringstream in;
            status =
                RunProgram(static_cast<int>(argv.size()), argv.data(), in, std::cout, std::cerr);
        }
        std::cout.flush();
        std::cerr.flush();
        std::ofstream(capture.File("count")) << env.OperationCount();
        ::_exit(status);
    }
    ProcessResult result;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        ADD_FAILURE() << "cannot run the program in a child process";
        return result;
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFile(capture.File("out"));
    result.err = ReadFile(capture.File("err"));
    if (operations != nullptr) {
        *operations = 0;
        std::ifstream(capture.File("count")) >> *operations;
    }
    return result;
}

}  // namespace testing_support
