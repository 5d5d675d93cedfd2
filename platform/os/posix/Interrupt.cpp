#include "platform/os/Interrupt.h"

#include <signal.h>

#include <exception>
#include <string>

namespace platform {
namespace {

volatile sig_atomic_t pending = 0;

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

std::string SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT (Ctrl-C)";
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
    pending = 0;
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting at the terminal must return, so that the
    // run can notice.
    action.sa_flags = 0;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        sigaction(kSignals[i], &action, &previous[i]);
}

InterruptHandling::~InterruptHandling() {
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
    // A signal that came after the last interruption point, when the work
    // was past undoing, takes its usual course now that the work is done.
    if (pending != 0 && std::uncaught_exceptions() == 0)
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
    if (signal != 0)
        throw Interrupted(signal);
}

}  // namespace platform
