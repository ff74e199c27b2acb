#include "app/controls/AwakeHold.h"

#include <unistd.h>

#include <string>

namespace norvane {

AwakeHold::AwakeHold(Machine machine, std::optional<Path> executable)
    : machine_(machine), assertions_(machine), lid_(machine), executable_(std::move(executable)) {}

AwakeHold::~AwakeHold() { hold(false, false, ThermalState::nominal); }

void AwakeHold::hold(bool on, bool lidSetting, ThermalState thermal) {
    sleepBlock_.set(on, assertions_);
    // A guard that died (reaped here) no longer holds anything: lid-close sleep stays off
    // only while a live guard would give it back.
    const bool died = lidGuard_ && !lidGuard_->running();
    if (died) lidGuard_.reset();
    const bool hotAndClosed = thermal >= ThermalState::serious && lid_.closed();
    if (on && lidSetting && !hotAndClosed) {
        if (!lidGuard_ && executable_)
            lidGuard_ = ChildProcess::start(machine_, executable_->string(),
                                            {"--lid-guard", std::to_string(::getpid())});
        if (lidGuard_) {
            lid_.setClamshellSleep(1);
            return;
        }
    }
    if (lidGuard_ || died) {
        lid_.setClamshellSleep(0);
        if (lidGuard_) lidGuard_->terminate();
        lidGuard_.reset();
    }
}

}  // namespace norvane
