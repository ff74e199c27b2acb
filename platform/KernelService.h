#pragma once
// Kernel services reached through a user client: opened on the first service of a class,
// called with structure or scalar methods, closed when released.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/Machine.h"

namespace norvane {

// The kernel's return codes of a call (0 is success).
using KernelReturn = std::int32_t;
inline constexpr KernelReturn kernelSuccess = 0;
inline constexpr KernelReturn kernelError = static_cast<KernelReturn>(0xE00002BC);
inline constexpr KernelReturn kernelBadArgument = static_cast<KernelReturn>(0xE00002C2);
inline constexpr KernelReturn kernelUnsupported = static_cast<KernelReturn>(0xE00002C7);

class UserClient {
public:
    virtual ~UserClient() = default;  // closes the connection
    // Sends `input` to the method `selector` and fills `output`, whose size is the size the
    // caller expects back.
    virtual KernelReturn callStructMethod(std::uint32_t selector, std::span<const std::uint8_t> input,
                                          std::span<std::uint8_t> output) = 0;
    // Sends scalar inputs to the method `selector`, for methods that give nothing back.
    virtual KernelReturn callScalarMethod(std::uint32_t selector, std::span<const std::uint64_t> input);
};

class KernelServices {
public:
    virtual ~KernelServices() = default;
    // A user client of the first service of the class, opened with the connection type;
    // null when there is no such service or it refuses to be opened.
    virtual std::unique_ptr<UserClient> open(std::string_view className, std::uint32_t type) const = 0;
};

// The services of a machine folder: "AppleSMC" is the SMC of smc/keys.json (SimulatedSmc);
// "IOPMrootDomain" is the power-management root domain of ioreg/IOPMrootDomain.plist, whose
// one scalar method is the clamshell-sleep switch (selector 12, one input: non-zero keeps a
// closed lid from sleeping the Mac, 0 gives that back), shown in its
// "AppleClamshellCausesSleep" property.
class MachineKernelServices final : public KernelServices {
public:
    explicit MachineKernelServices(Machine machine) : machine_(std::move(machine)) {}
    std::unique_ptr<UserClient> open(std::string_view className, std::uint32_t type) const override;

private:
    Machine machine_;
};

// A four-character code: the bytes in reading order, the first most significant.
std::uint32_t fourCharCode(std::string_view text);
// The four bytes of a code, most significant first.
std::string fourCharText(std::uint32_t code);

// Native (little-endian) 32-bit fields of a structure record; the caller keeps the
// offset inside the record.
std::uint32_t loadUInt32(std::span<const std::uint8_t> record, std::size_t offset);
void storeUInt32(std::span<std::uint8_t> record, std::size_t offset, std::uint32_t value);

}  // namespace norvane
