#include "app/controls/AwakeHold.h"

#include <unistd.h>

#include <string>

namespace norvane {

AwakeHold::AwakeHold(Machine machine, std::optional<Path> executable)
    : machine_(machine), assertions_(machine), lid_(machine), executable_(std::move(executable)) {}

AwakeHold::~AwakeHold() { hold(false, false, ThermalState::nominal); }

void AwakeHold::hold(bool on, bool lidSetting, ThermalState thermal) {
    sleepBlock_.set(on, assertions_);
    const bool hotAndClosed = thermal >= ThermalState::serious && lid_.closed();
    if (on && lidSetting && !hotAndClosed) {
        if (!(lidGuard_ && lidGuard_->running()) && executable_)
            lidGuard_ = ChildProcess::start(machine_, executable_->string(),
                                            {"--lid-guard", std::to_string(::getpid())});
        if (lidGuard_) lid_.setClamshellSleep(1);
    } else if (lidGuard_) {
        lid_.setClamshellSleep(0);
        lidGuard_->terminate();
        lidGuard_.reset();
    }
}

}  // namespace norvane
