#pragma once
// The System Management Controller of a machine folder: a user client whose structure
// method 2 answers key-information and read commands from the key table smc/keys.json
// (format and faults in docs/machine-folder.md). Every call sees the table as it is now (read
// again only when the file changed), so editing it changes the next reading.

#include <memory>

#include "platform/KernelService.h"

namespace norvane {

class SimulatedSmc final : public UserClient {
public:
    // Null when the folder has no smc/keys.json (no SMC), or the table is not a JSON object
    // or says "open": false (the SMC refuses to be opened).
    static std::unique_ptr<UserClient> open(const Machine& machine);

    KernelReturn callStructMethod(std::uint32_t selector, std::span<const std::uint8_t> input,
                                  std::span<std::uint8_t> output) override;

private:
    explicit SimulatedSmc(Machine machine) : machine_(std::move(machine)) {}
    Machine machine_;
};

}  // namespace norvane
