#include "support/posix/Pty.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace testing_support {

PtyProcess::PtyProcess(const std::string& program, const std::vector<std::string>& args,
                       const std::string& dir) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return;
    }
    const std::string tty = ::ptsname(master_), err = capture_.File("err");
    slave_ = ::open(tty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setsid();  // a session of its own, the terminal its controlling one
        const int in = ::open(tty.c_str(), O_RDWR);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || errFd < 0 || ::ioctl(in, TIOCSCTTY, 0) != 0 || ::chdir(dir.c_str()) != 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(in, 1);
        ::dup2(errFd, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
}

PtyProcess::~PtyProcess() {
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyProcess::Read(int milliseconds) {
    pollfd fd{master_, POLLIN, 0};
    char buffer[512];
    ssize_t n = 0;
    if (::poll(&fd, 1, milliseconds) > 0 && (n = ::read(master_, buffer, sizeof buffer)) > 0)
        screen_.append(buffer, static_cast<size_t>(n));
    return n > 0;
}

bool PtyProcess::WaitFor(const std::string& text) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Screen().find(text) == std::string::npos)
        if (!Read(50) && std::chrono::steady_clock::now() > end)
            return false;
    return true;
}

void PtyProcess::Type(const std::string& keys) {
    ASSERT_EQ(static_cast<ssize_t>(keys.size()), ::write(master_, keys.data(), keys.size()));
}

void PtyProcess::HangUp() {
    while (Read(0)) {
    }
    // The last descriptor of the terminal's side goes: the program's session
    // gets SIGHUP, and its terminal reads and writes fail from then on.
    ::close(master_);
    master_ = -1;
}

int PtyProcess::Wait(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    int status = 0;
    while (status_ < 0 && ::waitpid(pid_, &status, WNOHANG) != pid_) {
        if (std::chrono::steady_clock::now() > end)
            return -1;
        Read(20);
    }
    if (status_ < 0)
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    while (Read(0)) {
    }
    return status_;
}

std::string PtyProcess::Screen() const {
    std::string text;
    for (size_t i = 0; i < screen_.size(); ++i)
        if (screen_.compare(i, 2, "\r\n") != 0)
            text.push_back(screen_[i]);
    return text;
}

bool PtyProcess::EchoOn() const {
    termios settings{};
    return ::tcgetattr(master_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

}  // namespace testing_support
