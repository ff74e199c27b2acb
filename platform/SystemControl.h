#pragma once
// System controls by name (sysctlbyname).

#include <optional>
#include <string>
#include <string_view>

#include "platform/Machine.h"

namespace norvane {

class SystemControl {
public:
    virtual ~SystemControl() = default;
    // The control's value as the text it holds; absent when the system has no such control.
    virtual std::optional<std::string> text(std::string_view name) const = 0;
};

// The machine folder's sysctl.txt wins: lines of "name: value", as `sysctl -a` prints them
// on a Mac. Otherwise Linux answers where it knows the same thing:
// "machdep.cpu.brand_string" is the processor's model name from /proc/cpuinfo, "hw.model"
// the firmware's product name, "kern.memorystatus_vm_pressure_level" the level of
// /proc/pressure/memory (memoryPressureLevel).
class MachineSystemControl final : public SystemControl {
public:
    explicit MachineSystemControl(Machine machine) : machine_(std::move(machine)) {}
    std::optional<std::string> text(std::string_view name) const override;

private:
    Machine machine_;
};

// The value of `key` in lines of "key: value" (spaces before the colon allowed, as
// /proc/cpuinfo pads its keys); the first line that names it wins.
std::optional<std::string> keyedValue(std::string_view lines, std::string_view key);

// The memory-pressure level of a Mac (1 normal, 2 warning, 4 critical) from the stall
// figures of /proc/pressure/memory: warning when some task waited for memory at least 10 %
// of the last ten seconds, critical when all did. Absent without a "some" line.
std::optional<int> memoryPressureLevel(std::string_view pressure);

}  // namespace norvane
