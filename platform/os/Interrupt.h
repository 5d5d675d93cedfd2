#pragma once

#include "platform/Status.h"

namespace platform {

// Ctrl-C, Ctrl-\, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break and the
// console window closing) must not leave the journal deciphered. While an
// InterruptHandling lives they no longer end the process; the run notices at
// its next interruption point, unwinds through the same restore as an error
// does, and the program then exits with Interrupted::exitStatus(). A closed
// pipe ends nothing either: writing to it fails, and the run goes on.
//
// Once the run cannot be undone (HoldInterrupts), a signal no longer
// interrupts it: it is held, and the program, having finished the run, says
// that it came too late to change anything. A signal that arrives when the
// work is past its last interruption point, and not held, takes its usual
// course when the outermost InterruptHandling goes. They may be nested; the
// outermost one does the work.
class InterruptHandling {
  public:
    InterruptHandling();
    ~InterruptHandling();
    InterruptHandling(const InterruptHandling&) = delete;
    InterruptHandling& operator=(const InterruptHandling&) = delete;
};

// Thrown at an interruption point after a signal arrived: a failure of the
// kind StatusCode::kInterrupted, whose text says which signal.
class Interrupted : public Error {
  public:
    explicit Interrupted(int signal);
    int signal() const { return signal_; }
    int exitStatus() const { return 128 + signal_; }

  private:
    int signal_;
};

// The signal that arrived, or 0.
int PendingInterrupt();

// An interruption point: throws Interrupted when a signal has arrived, unless
// signals are held. Called where the run makes progress (each buffer of a
// file, each record), never while it restores.
void CheckForInterrupt();

// The run is past undoing: from now on, until the outermost InterruptHandling
// goes, a signal (one that already arrived included) is held.
void HoldInterrupts();
// The signal held since HoldInterrupts, or 0.
int HeldInterrupt();

}  // namespace platform
