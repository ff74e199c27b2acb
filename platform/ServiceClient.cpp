#include "platform/ServiceClient.h"

namespace norvane {
namespace {
constexpr std::uint32_t setClamshellSleepState = 12;
}

std::optional<ServiceClient> ServiceClient::open(const MachineRegistry& registry, const RegistryService& service,
                                           std::uint32_t type) {
    if (type != 0 || !registry.properties(service)) return std::nullopt;
    return ServiceClient(registry, service);
}

bool ServiceClient::callScalarMethod(std::uint32_t selector, std::span<const std::uint64_t> input) const {
    if (service_.className == "IOPMrootDomain" && selector == setClamshellSleepState && input.size() == 1)
        return registry_.setProperty(service_, "AppleClamshellCausesSleep", Value::boolean(input[0] == 0));
    return false;
}

}  // namespace norvane
