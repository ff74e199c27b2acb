#pragma once
// A connection to a registry service's user client, through which a program asks a
// driver to act. The machine folder's drivers know one method: the power-management
// root domain's clamshell-sleep switch (selector 12, one scalar input: non-zero keeps a
// closed lid from sleeping the Mac, 0 gives that back), which the driver shows in its
// "AppleClamshellCausesSleep" property.

#include <cstdint>
#include <optional>
#include <span>

#include "platform/Registry.h"

namespace norvane {

class ServiceClient {
public:
    // Absent when the service is not there, or for a type other than 0 (the client for
    // the own task).
    static std::optional<ServiceClient> open(const MachineRegistry& registry, const RegistryService& service,
                                          std::uint32_t type);
    // False when the service has no such method, the input does not fit it, or the driver
    // could not do it.
    bool callScalarMethod(std::uint32_t selector, std::span<const std::uint64_t> input) const;

private:
    ServiceClient(MachineRegistry registry, RegistryService service)
        : registry_(std::move(registry)), service_(std::move(service)) {}
    MachineRegistry registry_;
    RegistryService service_;
};

}  // namespace norvane
