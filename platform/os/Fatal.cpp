#include "platform/os/Fatal.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Reporter.h"

namespace platform {
namespace {
std::vector<RecoveryAction*>& LiveActions() {
    static std::vector<RecoveryAction*> actions;
    return actions;
}
}  // namespace

RecoveryAction::RecoveryAction(std::function<void()> action) : action_(std::move(action)) {
    LiveActions().push_back(this);
}

RecoveryAction::~RecoveryAction() {
    auto& actions = LiveActions();
    actions.erase(std::remove(actions.begin(), actions.end(), this), actions.end());
}

void RunRecoveryActions() {
    const std::vector<RecoveryAction*> actions = LiveActions();
    for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
        RecoveryAction* action = *it;
        if (!action->active_)
            continue;
        action->active_ = false;
        action->action_();
    }
}

void FatalCheckFailed(const char* check, const char* source, int line) {
    RunRecoveryActions();
    const std::string text = std::string("Assertion failed: ") + check + ", file " + source +
                             ", line " + std::to_string(line);
    EmergencyLine(text.c_str());
    std::_Exit(kFatalExitStatus);
}

}  // namespace platform
