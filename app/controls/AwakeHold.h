#pragma once
// Carries out a keep-awake decision: the own assertion, and lid-close sleep held off for
// as long as a guard process (our own executable with `--lid-guard <pid>`) watches us,
// so that a crash still gives it back.

#include <optional>

#include "app/controls/Lid.h"
#include "app/controls/SleepBlock.h"
#include "platform/ChildProcess.h"
#include "platform/SystemState.h"

namespace norvane {

class AwakeHold {
public:
    // `executable` is the application's own program; without one no guard is started.
    AwakeHold(Machine machine, std::optional<Path> executable);
    // Gives back what it holds.
    ~AwakeHold();
    AwakeHold(const AwakeHold&) = delete;
    AwakeHold& operator=(const AwakeHold&) = delete;

    // Called on every decision: holds or releases the assertion, and holds lid-close
    // sleep off while `on` and `lidSetting`, unless the Mac is hot with its lid closed.
    // While holding, the switch is set again on every call. A guard that died is replaced;
    // when none can be started, lid-close sleep is given back.
    void hold(bool on, bool lidSetting, ThermalState thermal);

    const SleepBlock& sleepBlock() const { return sleepBlock_; }
    const std::optional<ChildProcess>& lidGuard() const { return lidGuard_; }

private:
    Machine machine_;
    PowerAssertions assertions_;
    Lid lid_;
    std::optional<Path> executable_;
    SleepBlock sleepBlock_;
    std::optional<ChildProcess> lidGuard_;
};

}  // namespace norvane
