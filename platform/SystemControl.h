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
// "machdep.cpu.brand_string" is the processor's model name from /proc/cpuinfo.
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

}  // namespace norvane
