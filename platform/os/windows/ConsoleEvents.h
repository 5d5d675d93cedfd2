#pragma once

// The console control handler that a run installs (see
// platform/os/Interrupt.h), reachable without a console: Windows calls it on
// a thread of its own, and so may a test, for each event Windows sends.
// Include after <windows.h>.

namespace platform {

// Windows ends a process five seconds after its console window closes (and
// some seconds after a log-off): the longest the handler holds the process
// while the run puts the journal back.
constexpr DWORD kConsoleEventGraceMilliseconds = 4500;

// Calls the handler with `event` (CTRL_C_EVENT, CTRL_BREAK_EVENT,
// CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT or CTRL_SHUTDOWN_EVENT) on the calling
// thread, as Windows calls it, and returns what it answers once it returns;
// FALSE, without calling it, when no run has it installed.
BOOL DeliverConsoleEvent(DWORD event);

}  // namespace platform
