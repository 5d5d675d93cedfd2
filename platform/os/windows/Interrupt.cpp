// Console control events. Windows calls the handler on a thread of its own;
// the handler only records the event, and the main thread acts on it at its
// next interruption point, exactly as with a signal elsewhere.
//
// The events are reported as the signals they stand for, so the exit status
// is 128 + that number: Ctrl-C is SIGINT (2, status 130), Ctrl-Break is
// SIGBREAK (21, status 149), and closing the console window, logging off or
// shutting down is a hang-up (SIGHUP, 1, status 129).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <string>

#include "platform/os/Interrupt.h"
#include "platform/os/windows/ConsoleWake.h"

namespace platform {
namespace {

constexpr int kCtrlC = 2;
constexpr int kCtrlBreak = 21;
constexpr int kHangUp = 1;

// Windows ends a process five seconds after the console window closes (and
// some seconds after a log-off); the run needs that long at most to put the
// journal back, which it does between two of its interruption points.
constexpr DWORD kCloseGraceMilliseconds = 4500;

std::atomic<int> pending{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            pending.store(kCtrlC);
            WakeConsoleRead();
            return TRUE;
        case CTRL_BREAK_EVENT:
            pending.store(kCtrlBreak);
            WakeConsoleRead();
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            pending.store(kHangUp);
            WakeConsoleRead();
            // Returning lets Windows end the process at once. Waiting gives
            // the main thread the time to restore the journal and exit,
            // which ends this thread with it.
            Sleep(kCloseGraceMilliseconds);
            return TRUE;
        default:
            return FALSE;
    }
}

std::string Describe(int signal) {
    switch (signal) {
        case kCtrlC:
            return "interrupted by Ctrl-C";
        case kCtrlBreak:
            return "interrupted by Ctrl-Break";
        case kHangUp:
            return "interrupted by the closing of the console window";
        default:
            return "interrupted by signal " + std::to_string(signal);
    }
}

}  // namespace

InterruptHandling::InterruptHandling() {
    pending.store(0);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptHandling::~InterruptHandling() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    // An event that came after the last interruption point, when the work
    // was past undoing, ends the program now that the work is done, with
    // the status it stands for.
    const int signal = pending.load();
    if (signal != 0 && std::uncaught_exceptions() == 0) {
        std::fflush(nullptr);
        ExitProcess(static_cast<UINT>(128 + signal));
    }
}

Interrupted::Interrupted(int signal)
    : Error(Status::Make(StatusCode::kInterrupted, Describe(signal))), signal_(signal) {}

int PendingInterrupt() {
    return pending.load();
}

void CheckForInterrupt() {
    const int signal = pending.load();
    if (signal != 0)
        throw Interrupted(signal);
}

}  // namespace platform
