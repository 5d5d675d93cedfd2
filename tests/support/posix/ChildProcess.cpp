#include "support/ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

Status RunChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::string& outputPath,
                       const std::string& errorPath, int* exitStatus) {
    *exitStatus = -1;
    // Everything the child needs is made before the fork: after it, only
    // calls that are safe in a child of a threaded process.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return Status::FromErrno("cannot start", program, errno);
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::chdir(folder.c_str()) != 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) != pid) {
        if (errno != EINTR)
            return Status::FromErrno("cannot wait for", program, errno);
    }
    *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return Status::OK();
}

Status CurrentProgramPath(std::string* path) {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (n < 0 || static_cast<size_t>(n) >= buffer.size())
        return Status::FromErrno("cannot read", "/proc/self/exe", n < 0 ? errno : ENAMETOOLONG);
    buffer.resize(static_cast<size_t>(n));
    *path = buffer;
    return Status::OK();
}

}  // namespace platform
