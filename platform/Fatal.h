#pragma once

#include <functional>

namespace platform {

// While a RecoveryAction is alive, a fatal check or an error that ends the run
// first calls it, so that no exit path leaves the user's files half done.
// Actions run newest first, each at most once.
class RecoveryAction {
  public:
    explicit RecoveryAction(std::function<void()> action);
    ~RecoveryAction();
    RecoveryAction(const RecoveryAction&) = delete;
    RecoveryAction& operator=(const RecoveryAction&) = delete;

    void Dismiss();  // the files are in order again; nothing to do any more

  private:
    std::function<void()> action_;
    RecoveryAction* previous_;
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
