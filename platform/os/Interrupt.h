#pragma once

#include "platform/Status.h"

namespace platform {

// Ctrl-C, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break and the console
// window closing) must not leave the journal deciphered. While an
// InterruptHandling lives they no longer end the process; the run notices at
// its next interruption point, unwinds through the same restore as an error
// does, and the program then exits with Interrupted::exitStatus(). One that
// arrives when the work is past its last interruption point takes its usual
// course when the InterruptHandling goes.
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

// An interruption point: throws Interrupted when a signal has arrived. Called
// where the run makes progress (each buffer of a file, each record), never
// while it restores.
void CheckForInterrupt();

}  // namespace platform
