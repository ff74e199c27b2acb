#include "platform/KernelService.h"

#include "platform/Registry.h"
#include "platform/SimulatedSmc.h"

namespace norvane {
namespace {

constexpr std::uint32_t setClamshellSleepState = 12;

// The root domain's driver changes its own property when asked, as the real one does.
class RootDomainClient final : public UserClient {
public:
    RootDomainClient(MachineRegistry registry, RegistryService service)
        : registry_(std::move(registry)), service_(std::move(service)) {}
    KernelReturn callStructMethod(std::uint32_t, std::span<const std::uint8_t>, std::span<std::uint8_t>) override {
        return kernelUnsupported;
    }
    KernelReturn callScalarMethod(std::uint32_t selector, std::span<const std::uint64_t> input) override {
        if (selector != setClamshellSleepState || input.size() != 1) return kernelBadArgument;
        return registry_.setProperty(service_, "AppleClamshellCausesSleep", Value::boolean(input[0] == 0))
                   ? kernelSuccess
                   : kernelError;
    }

private:
    MachineRegistry registry_;
    RegistryService service_;
};

}  // namespace

KernelReturn UserClient::callScalarMethod(std::uint32_t, std::span<const std::uint64_t>) { return kernelUnsupported; }

std::unique_ptr<UserClient> MachineKernelServices::open(std::string_view className, std::uint32_t type) const {
    if (type != 0) return nullptr;
    if (className == "AppleSMC") return SimulatedSmc::open(machine_);
    if (className == "IOPMrootDomain") {
        const MachineRegistry registry(machine_);
        const auto root = registry.firstService(className);
        if (!root || !registry.properties(*root)) return nullptr;
        return std::make_unique<RootDomainClient>(registry, *root);
    }
    return nullptr;
}

std::uint32_t fourCharCode(std::string_view text) {
    std::uint32_t code = 0;
    for (const char c : text) code = code * 256 + static_cast<unsigned char>(c);
    return code;
}

std::string fourCharText(std::uint32_t code) {
    std::string text(4, '\0');
    for (int i = 3; i >= 0; --i, code >>= 8) text[static_cast<std::size_t>(i)] = static_cast<char>(code & 0xFF);
    return text;
}

std::uint32_t loadUInt32(std::span<const std::uint8_t> record, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = value << 8 | record[offset + i];
    return value;
}

void storeUInt32(std::span<std::uint8_t> record, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i, value >>= 8) record[offset + i] = static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace norvane
