// Console control events. Windows calls the handler on a thread of its own;
// the handler records the event, and the main thread acts on it at its next
// interruption point, exactly as with a signal elsewhere, while the handler
// waits for it to have put the journal back.
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
#include "platform/os/windows/ConsoleEvents.h"
#include "platform/os/windows/ConsoleWake.h"

namespace platform {
namespace {

constexpr int kCtrlC = 2;
constexpr int kCtrlBreak = 21;
constexpr int kHangUp = 1;

std::atomic<int> pending{0};
std::atomic<bool> installed{false};

// Set while no run has its journal to put back: the InterruptHandling that
// goes sets it once the unwinding run has put the journal back, or the work
// is done. Manual reset, so that every handler waiting on it wakes.
HANDLE SettledEvent() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    return event;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            pending.store(kCtrlC);
            break;
        case CTRL_BREAK_EVENT:
            pending.store(kCtrlBreak);
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            pending.store(kHangUp);
            break;
        default:
            return FALSE;
    }
    WakeConsoleRead();
    // Once this returns after a closing window, a log-off or a shutdown,
    // Windows ends the process at once: the handler holds it until the run
    // has put the journal back at its next interruption point, within the
    // time Windows allows. Ctrl-C and Ctrl-Break wait alike: no event is
    // done with before the journal is back.
    if (WaitForSingleObject(SettledEvent(), kConsoleEventGraceMilliseconds) == WAIT_FAILED)
        Sleep(kConsoleEventGraceMilliseconds);
    return TRUE;
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

BOOL DeliverConsoleEvent(DWORD event) {
    return installed.load() ? OnConsoleEvent(event) : FALSE;
}

InterruptHandling::InterruptHandling() {
    pending.store(0);
    ResetEvent(SettledEvent());
    installed.store(true);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptHandling::~InterruptHandling() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    installed.store(false);
    // An event that came after the last interruption point, when the work
    // was past undoing, ends the program now that the work is done, with
    // the status it stands for (and the handler's thread with it).
    const int signal = pending.load();
    if (signal != 0 && std::uncaught_exceptions() == 0) {
        std::fflush(nullptr);
        ExitProcess(static_cast<UINT>(128 + signal));
    }
    // The run has unwound through the restore: the journal is back, and a
    // handler holding the process lets it go.
    SetEvent(SettledEvent());
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
