#pragma once
// The adapter that is plugged in, how much power flows, why the battery is or is not
// charging, and the words the panel shows for it.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "app/analysis/Headline.h"
#include "app/readings/Battery.h"
#include "platform/PowerSources.h"
#include "platform/Registry.h"
#include "platform/Value.h"

namespace norvane {

struct Charger {
    std::optional<std::string> name;
    std::optional<std::int64_t> watts;  // rated
    bool wireless = false;
    bool operator==(const Charger&) const = default;
};

// Watts the Mac uses and watts the adapter delivers.
struct PowerFlow {
    std::optional<double> system;
    std::optional<double> adapter;
    bool operator==(const PowerFlow&) const = default;
};

// The battery controller's not-charging reason bits, as it reports them (0 when unknown).
struct ChargerFlags {
    std::uint64_t notChargingReason = 0;
    bool operator==(const ChargerFlags&) const = default;
};

namespace charging_state {
// Watts going into the battery, when known.
struct Charging {
    std::optional<double> watts;
    bool operator==(const Charging&) const = default;
};
// Held at the user's charge limit (percent).
struct Holding {
    std::int64_t limit = 0;
    bool operator==(const Holding&) const = default;
};
// The adapter gives less than the Mac uses; its rated watts when known.
struct WeakCharger {
    std::optional<std::int64_t> watts;
    bool operator==(const WeakCharger&) const = default;
};
struct OnBattery {
    bool operator==(const OnBattery&) const = default;
};
struct Full {
    bool operator==(const Full&) const = default;
};
struct Paused {
    bool operator==(const Paused&) const = default;
};
struct TooWarm {
    bool operator==(const TooWarm&) const = default;
};
struct TooCold {
    bool operator==(const TooCold&) const = default;
};
struct NotCharging {
    bool operator==(const NotCharging&) const = default;
};
}  // namespace charging_state

using ChargingState =
    std::variant<charging_state::Charging, charging_state::Holding, charging_state::WeakCharger,
                 charging_state::OnBattery, charging_state::Full, charging_state::Paused, charging_state::TooWarm,
                 charging_state::TooCold, charging_state::NotCharging>;

// The plugged adapter from the power sources; absent on battery or when the details are
// not a dictionary.
std::optional<Charger> readCharger(const PowerSources& sources);
// Absent without details or with empty ones.
std::optional<Charger> charger(const Value::Dictionary* details);

// The properties of the first AppleSmartBattery service; null without one.
std::shared_ptr<const Value::Dictionary> smartBatteryProperties(const Registry& registry);
// On the adapter from the power telemetry, on battery from voltage and current.
PowerFlow powerFlow(const Value::Dictionary& properties);
ChargerFlags chargerFlags(const Value::Dictionary& properties);

// Why the battery is or is not charging, decided from the battery reading, the charger
// flags, the power flow and charger when read, and the limit (100 when none is set).
ChargingState chargingState(const Battery& battery, ChargerFlags flags, const std::optional<PowerFlow>& flow,
                            const std::optional<Charger>& charger, std::int64_t limit);
Headline chargingWords(const ChargingState& state);

}  // namespace norvane
