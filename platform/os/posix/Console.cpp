// The console on a POSIX terminal.
#include "platform/os/Console.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "platform/os/Interrupt.h"

namespace platform {
namespace {

// How soon a wait at the terminal sees a signal that came just before it.
constexpr int kInterruptLookMilliseconds = 100;

// The terminal the password is read from: the controlling terminal, or
// standard input when that is a terminal and there is no controlling one
// (a session started without one).
class Terminal {
  public:
    Terminal() {
        fd_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        owned_ = fd_ >= 0;
        if (!owned_ && ::isatty(STDIN_FILENO))
            fd_ = STDIN_FILENO;
    }
    ~Terminal() {
        if (owned_)
            ::close(fd_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    int fd() const { return fd_; }

    // Standard input opened for reading only takes no prompt; standard error
    // goes to the same terminal in practice.
    int PromptFd() const { return owned_ ? fd_ : STDERR_FILENO; }

  private:
    int fd_ = -1;
    bool owned_ = false;
};

// Echo off while alive; the terminal is put back as it was on every way out.
class EchoOff {
  public:
    explicit EchoOff(int fd) : fd_(fd) {
        if (::tcgetattr(fd_, &saved_) != 0) {
            error_ = errno;
            return;
        }
        struct termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
        quiet.c_lflag |= ICANON;
        // Whatever was typed before the prompt appeared was typed in the
        // open: it is not taken as the password.
        if (::tcsetattr(fd_, TCSAFLUSH, &quiet) != 0)
            error_ = errno;
        else
            active_ = true;
    }
    ~EchoOff() {
        if (!active_)
            return;
        while (::tcsetattr(fd_, TCSANOW, &saved_) != 0 && errno == EINTR) {
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

    int error() const { return error_; }

  private:
    int fd_;
    struct termios saved_ {};
    bool active_ = false;
    int error_ = 0;
};

Status TerminalError(const char* what, int err) {
    return Status::Make(StatusCodeOfErrno(err),
                        std::string(what) + " the terminal: " + std::strerror(err), std::string(),
                        err, std::strerror(err));
}

// A signal ended the wait for the password: whoever caught it decides what
// happens next.
Status ReadInterrupted() {
    return Status::Make(StatusCode::kInterrupted, "interrupted while reading the password");
}

// write(2) alone: safe in a signal handler too.
bool WriteAll(int fd, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

// Terminals here take UTF-8 as it is, and so do files and pipes.
bool WriteToStandardOutput(std::string_view utf8) {
    return WriteAll(STDOUT_FILENO, utf8);
}

bool WriteToStandardError(std::string_view utf8) {
    return WriteAll(STDERR_FILENO, utf8);
}

void WriteToStandardErrorRaw(const char* text) {
    WriteAll(STDERR_FILENO, std::string_view(text, std::strlen(text)));
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    // The terminal hands the arguments over in its own encoding, UTF-8 in
    // practice; they are taken as they come.
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
}

bool StandardInputIsTerminal() {
    return ::isatty(STDIN_FILENO) != 0;
}

Status ReadHiddenLine(const std::string& prompt, std::string* line) {
    line->clear();
    Terminal terminal;
    if (terminal.fd() < 0)
        return Status::Make(StatusCode::kNotSupported, "no terminal to ask on");
    EchoOff echoOff(terminal.fd());
    if (echoOff.error() != 0)
        return TerminalError("cannot turn echo off on", echoOff.error());
    if (!WriteAll(terminal.PromptFd(), prompt))
        return TerminalError("cannot write to", errno);
    Status status;
    for (;;) {
        // A signal that arrives just before a read begins does not end it:
        // the read waits in short steps, with a look at what arrived before
        // each.
        if (PendingInterrupt() != 0) {
            status = ReadInterrupted();
            break;
        }
        pollfd ready{terminal.fd(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, kInterruptLookMilliseconds);
        if (polled == 0)
            continue;
        char c;
        const ssize_t n = polled < 0 ? -1 : ::read(terminal.fd(), &c, 1);
        if (n < 0) {
            status = errno == EINTR ? ReadInterrupted() : TerminalError("cannot read from", errno);
            break;
        }
        if (n == 0) {
            if (line->empty())
                status = Status::Make(StatusCode::kIoError, "end of input before the password");
            break;
        }
        if (c == '\n')
            break;
        line->push_back(c);
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    // The Enter the user typed was not echoed: end the prompt's line.
    WriteAll(terminal.PromptFd(), "\n");
    if (!status.ok())
        line->clear();
    return status;
}

bool OwnsConsoleWindow() {
    // A terminal window outlives the programs run in it.
    return false;
}

}  // namespace platform
