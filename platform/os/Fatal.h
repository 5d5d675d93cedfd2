#pragma once

#include <functional>

namespace platform {

// While a RecoveryAction is alive, a fatal check calls it before the program
// stops, so that not even that exit leaves the user's files half done.
// (Errors that are thrown put things right through destructors.) Actions
// run newest first, each at most once.
class RecoveryAction {
  public:
    explicit RecoveryAction(std::function<void()> action);
    ~RecoveryAction();
    RecoveryAction(const RecoveryAction&) = delete;
    RecoveryAction& operator=(const RecoveryAction&) = delete;

  private:
    std::function<void()> action_;
    bool active_ = true;
    friend void RunRecoveryActions();
};

// Runs every live action, newest first.
void RunRecoveryActions();

// Ends the run: recovers, prints "Assertion failed: <check>, file <source>,
// line <line>" on standard error and exits with kFatalExitStatus.
[[noreturn]] void FatalCheckFailed(const char* check, const char* source, int line);

constexpr int kFatalExitStatus = 3;

}  // namespace platform

// The check text is given as the program has always reported it, which is not
// always the expression tested here.
#define JC_FATAL_CHECK(condition, checkText, source, line)         \
    do {                                                           \
        if (!(condition))                                          \
            ::platform::FatalCheckFailed(checkText, source, line); \
    } while (0)
