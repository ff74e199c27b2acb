#include "platform/KernelService.h"

#include "platform/SimulatedSmc.h"

namespace norvane {

std::unique_ptr<UserClient> MachineKernelServices::open(std::string_view className, std::uint32_t type) const {
    if (className == "AppleSMC" && type == 0) return SimulatedSmc::open(machine_);
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
