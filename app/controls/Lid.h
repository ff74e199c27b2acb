#pragma once
// The lid: whether it is closed, and the power-management root domain's switch that
// keeps a closed lid from sleeping the Mac. The lid guard, a second process of ours,
// gives lid-close sleep back when the application is gone, however it ended.

#include <cstdint>
#include <optional>

#include "platform/KernelService.h"
#include "platform/Registry.h"

namespace norvane {

class Lid {
public:
    explicit Lid(Machine machine) : registry_(machine), kernel_(std::move(machine)) {}

    // The root domain, looked up on first use and kept.
    const std::optional<RegistryService>& root() const;
    // The root domain's "AppleClamshellState", read afresh; false when it is missing or
    // not a Boolean.
    bool closed() const;
    // Input 1 keeps a closed lid from sleeping the Mac, 0 gives that back. True when the
    // root domain's client opened and took the call.
    bool setClamshellSleep(std::uint64_t input) const;

    // The guard process's body: waits for the process to end (at once when it is gone,
    // or for a pid not above 0), gives lid-close sleep back, logs it and exits with 0.
    [[noreturn]] static void runGuard(const Machine& machine, std::int32_t pid);

private:
    MachineRegistry registry_;
    MachineKernelServices kernel_;
    mutable std::optional<std::optional<RegistryService>> root_;
};

}  // namespace norvane
