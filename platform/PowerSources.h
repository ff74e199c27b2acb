#pragma once
// The power sources: the external adapter's details and which source the Mac runs from.

#include <optional>
#include <string>
#include <string_view>

#include "platform/Machine.h"
#include "platform/Value.h"

namespace norvane {

inline constexpr std::string_view acPower = "AC Power";
inline constexpr std::string_view batteryPower = "Battery Power";

class PowerSources {
public:
    virtual ~PowerSources() = default;
    // The external power adapter's details as the system hands them over (a dictionary
    // with "Name", "Watts", "IsWireless", …); absent when no adapter is attached.
    virtual std::optional<Value> externalAdapterDetails() const = 0;
    // The source the Mac draws from: acPower or batteryPower.
    virtual std::string providingSource() const = 0;
};

// Derived from the machine folder's AppleSmartBattery entry, so plugging the simulated Mac
// in stays one edit: "ExternalConnected" says whether an adapter is attached, and
// "AdapterDetails" are its details. A Mac without a battery runs from AC power.
class MachinePowerSources final : public PowerSources {
public:
    explicit MachinePowerSources(Machine machine) : machine_(std::move(machine)) {}
    std::optional<Value> externalAdapterDetails() const override;
    std::string providingSource() const override;

private:
    Machine machine_;
};

}  // namespace norvane
