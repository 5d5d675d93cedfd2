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
    const std::string slave = ::ptsname(master_);
    slave_ = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const std::string errPath = capture_.File("err");
    pid_ = ::fork();
    if (pid_ == 0) {
        // A session of its own, with the terminal as its controlling one.
        ::setsid();
        const int tty = ::open(slave.c_str(), O_RDWR);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (tty < 0 || err < 0 || ::ioctl(tty, TIOCSCTTY, 0) != 0 || ::chdir(dir.c_str()) != 0)
            ::_exit(127);
        ::dup2(tty, 0);
        ::dup2(tty, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    if (pid_ < 0)
        ADD_FAILURE() << "cannot start " << program;
}

PtyProcess::~PtyProcess() {
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyProcess::ReadAvailable(int timeoutMs) {
    pollfd fd{master_, POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) <= 0)
        return false;
    char buffer[512];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    screen_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool PtyProcess::WaitFor(const std::string& text, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (Screen().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        ReadAvailable(50);
    }
    return true;
}

void PtyProcess::Type(const std::string& keys) {
    ASSERT_EQ(static_cast<ssize_t>(keys.size()), ::write(master_, keys.data(), keys.size()));
}

bool PtyProcess::StillRunning(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (status_ < 0) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > end)
            return true;
        ReadAvailable(20);
    }
    return false;
}

int PtyProcess::Wait(int seconds) {
    if (StillRunning(seconds * 1000))
        return -1;
    while (ReadAvailable(0)) {
    }
    return status_;
}

std::string PtyProcess::Screen() const {
    std::string text;
    for (size_t i = 0; i < screen_.size(); ++i)
        if (!(screen_[i] == '\r' && i + 1 < screen_.size() && screen_[i + 1] == '\n'))
            text.push_back(screen_[i]);
    return text;
}

std::string PtyProcess::Err() const {
    return ReadFile(capture_.File("err"));
}

bool PtyProcess::EchoOn() const {
    termios settings{};
    return ::tcgetattr(master_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

}  // namespace testing_support
