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

// The terminal in line mode, with echo on or off, while alive; it is put
// back as it was on every way out.
class LineMode {
  public:
    LineMode(int fd, bool echo) : fd_(fd) {
        if (::tcgetattr(fd_, &saved_) != 0) {
            error_ = errno;
            return;
        }
        struct termios mode = saved_;
        const tcflag_t echoFlags = ECHO | ECHOE | ECHOK;
        if (echo)
            mode.c_lflag |= echoFlags;
        else
            mode.c_lflag &= ~static_cast<tcflag_t>(echoFlags | ECHONL);
        mode.c_lflag |= ICANON;
        // Whatever was typed before the prompt appeared was typed in the
        // open, or before there was a question: it is not taken.
        if (::tcsetattr(fd_, TCSAFLUSH, &mode) != 0)
            error_ = errno;
        else
            active_ = true;
    }
    ~LineMode() {
        if (!active_)
            return;
        while (::tcsetattr(fd_, TCSANOW, &saved_) != 0 && errno == EINTR) {
        }
    }
    LineMode(const LineMode&) = delete;
    LineMode& operator=(const LineMode&) = delete;

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

// A signal ended the wait for `what` ("the password"): whoever caught it
// decides what happens next.
Status ReadInterrupted(const char* what) {
    return Status::Make(StatusCode::kInterrupted, std::string("interrupted while reading ") + what);
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

namespace {

// Shows `prompt` and reads one line from the terminal; `what` names the line
// in messages ("the password").
Status ReadLine(const std::string& prompt, bool echo, const char* what, std::string* line) {
    line->clear();
    Terminal terminal;
    if (terminal.fd() < 0)
        return Status::Make(StatusCode::kNotSupported, "no terminal to ask on");
    LineMode mode(terminal.fd(), echo);
    if (mode.error() != 0)
        return TerminalError(echo ? "cannot set up" : "cannot turn echo off on", mode.error());
    if (!WriteAll(terminal.PromptFd(), prompt))
        return TerminalError("cannot write to", errno);
    Status status;
    bool ended = false;  // by a line end, which the terminal echoes
    for (;;) {
        // A signal that arrives just before a read begins does not end it:
        // the read waits in short steps, with a look at what arrived before
        // each.
        if (PendingInterrupt() != 0) {
            status = ReadInterrupted(what);
            break;
        }
        pollfd ready{terminal.fd(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, kInterruptLookMilliseconds);
        if (polled == 0)
            continue;
        char c;
        const ssize_t n = polled < 0 ? -1 : ::read(terminal.fd(), &c, 1);
        if (n < 0) {
            status =
                errno == EINTR ? ReadInterrupted(what) : TerminalError("cannot read from", errno);
            break;
        }
        if (n == 0) {
            if (line->empty())
                status =
                    Status::Make(StatusCode::kIoError, std::string("end of input before ") + what);
            break;
        }
        if (c == '\n') {
            ended = true;
            break;
        }
        line->push_back(c);
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    // The Enter the user typed was not echoed, or the input ended without
    // one: end the prompt's line.
    if (!echo || !ended)
        WriteAll(terminal.PromptFd(), "\n");
    if (!status.ok())
        line->clear();
    return status;
}

}  // namespace

Status ReadHiddenLine(const std::string& prompt, std::string* line) {
    return ReadLine(prompt, false, "the password", line);
}

Status ReadTerminalLine(const std::string& prompt, std::string* line) {
    return ReadLine(prompt, true, "an answer", line);
}

bool WriteToTerminal(std::string_view utf8) {
    Terminal terminal;
    return terminal.fd() >= 0 && WriteAll(terminal.PromptFd(), utf8);
}

bool OwnsConsoleWindow() {
    // A terminal window outlives the programs run in it.
    return false;
}

}  // namespace platform
