#include "platform/Fatal.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {
RecoveryAction* newest = nullptr;
}

RecoveryAction::RecoveryAction(std::function<void()> action)
    : action_(std::move(action)), previous_(newest) {
    newest = this;
}

RecoveryAction::~RecoveryAction() {
    // Actions are scoped, so they leave in reverse order of arrival.
    if (newest == this)
        newest = previous_;
}

void RecoveryAction::Dismiss() {
    active_ = false;
}

void RunRecoveryActions() {
    for (RecoveryAction* action = newest; action != nullptr; action = action->previous_) {
        if (!action->active_)
            continue;
        action->active_ = false;
        action->action_();
    }
}

void FatalCheckFailed(const char* check, const char* source, int line) {
    RunRecoveryActions();
    std::fflush(stdout);
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", check, source, line);
    std::fflush(stderr);
    std::_Exit(kFatalExitStatus);
}

}  // namespace platform
