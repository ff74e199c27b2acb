#include "platform/PowerSources.h"

#include "platform/Registry.h"

namespace norvane {
namespace {

// The battery entry's properties; absent on a Mac without a battery.
std::shared_ptr<const Value::Dictionary> batteryEntry(const Machine& machine) {
    const MachineRegistry registry(machine);
    const auto service = registry.firstService("AppleSmartBattery");
    if (!service) return nullptr;
    return registry.properties(*service);
}

bool connected(const Value::Dictionary& battery) {
    const Value* value = find(battery, "ExternalConnected");
    return value && value->boolValue().value_or(false);
}

}  // namespace

std::optional<Value> MachinePowerSources::externalAdapterDetails() const {
    const auto battery = batteryEntry(machine_);
    if (!battery || !connected(*battery)) return std::nullopt;
    const Value* details = find(*battery, "AdapterDetails");
    if (!details) return std::nullopt;
    return *details;
}

std::string MachinePowerSources::providingSource() const {
    const auto battery = batteryEntry(machine_);
    return std::string(!battery || connected(*battery) ? acPower : batteryPower);
}

}  // namespace norvane
