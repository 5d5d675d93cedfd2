#include "platform/os/Interrupt.h"

#include <signal.h>

#include <exception>
#include <string>

namespace platform {
namespace {

volatile sig_atomic_t pending = 0;
bool held = false;
bool thrown = false;  // the run was told, and unwound
int depth = 0;

const int kSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
constexpr size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction previous[kSignalCount];
struct sigaction previousPipe;

std::string SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT (Ctrl-C)";
        case SIGQUIT:
            return "SIGQUIT (Ctrl-\\)";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP (the terminal was closed)";
    }
    return "signal " + std::to_string(signal);
}

extern "C" void NoteSignal(int signal) {
    if (pending == 0)
        pending = signal;
}

}  // namespace

InterruptHandling::InterruptHandling() {
    if (depth++ > 0)
        return;
    pending = 0;
    held = false;
    thrown = false;
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting at the terminal must return, so that the
    // run can notice.
    action.sa_flags = 0;
    for (size_t i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &action, &previous[i]);
    // A reader that went away (a pipe to "head") makes writes fail, which the
    // run notes; it does not end the run with the journal deciphered.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previousPipe);
}

InterruptHandling::~InterruptHandling() {
    if (--depth > 0)
        return;
    for (size_t i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
    sigaction(SIGPIPE, &previousPipe, nullptr);
    // A signal that came after the last interruption point, when the work
    // was past undoing and not held, takes its usual course now that the
    // work is done.
    if (pending != 0 && !held && !thrown && std::uncaught_exceptions() == 0)
        raise(pending);
}

Interrupted::Interrupted(int signal)
    : Error(Status::Make(StatusCode::kInterrupted, "interrupted by " + SignalName(signal))),
      signal_(signal) {}

int PendingInterrupt() {
    return pending;
}

void CheckForInterrupt() {
    const int signal = pending;
    if (signal != 0 && !held) {
        thrown = true;
        throw Interrupted(signal);
    }
}

void HoldInterrupts() {
    held = depth > 0;
}

int HeldInterrupt() {
    return held ? static_cast<int>(pending) : 0;
}

}  // namespace platform
