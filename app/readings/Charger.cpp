#include "app/readings/Charger.h"

#include "platform/Text.h"

namespace norvane {
namespace {

const Value::Dictionary& dictionaryOr(const Value* value) {
    static const Value::Dictionary empty;
    return value && value->isDictionary() ? *value->asDictionary() : empty;
}

// Telemetry in milliwatts as watts; anything above 500 W is not a reading.
std::optional<double> watts(const Value::Dictionary& telemetry, std::string_view key) {
    const Value* value = find(telemetry, key);
    if (!value || !value->isNumber()) return std::nullopt;
    const std::int64_t milliwatts = *value->longLongValue();
    if (milliwatts > 500'000) return std::nullopt;
    return static_cast<double>(milliwatts) / 1000.0;
}

double numberOrZero(const Value::Dictionary& properties, std::string_view key) {
    const Value* value = find(properties, key);
    return value && value->isNumber() ? static_cast<double>(*value->longLongValue()) : 0.0;
}

// The title and detail of each charging state.
struct ChargingWords {
    Headline operator()(const charging_state::Charging& s) const {
        if (!s.watts) return {"Charging", "The battery is filling up"};
        return {"Charging", formatFixed(*s.watts, 0) + " W is going into the battery"};
    }
    Headline operator()(const charging_state::Holding& s) const {
        return {"Holding at your limit",
                "Charging stops at " + std::to_string(s.limit) + "% because you set a charge limit"};
    }
    Headline operator()(const charging_state::WeakCharger& s) const {
        const std::string which = s.watts ? "This " + std::to_string(*s.watts) + " W charger" : "The charger";
        return {"Charger is too weak", which + " gives less than the Mac is using"};
    }
    Headline operator()(charging_state::OnBattery) const { return {"On battery", "No charger is plugged in"}; }
    Headline operator()(charging_state::Full) const { return {"Fully charged", "Running on wall power"}; }
    Headline operator()(charging_state::Paused) const {
        return {"Paused by macOS", "macOS is holding the charge on purpose to protect the battery"};
    }
    Headline operator()(charging_state::TooWarm) const {
        return {"Too warm to charge", "Charging resumes when the battery cools down"};
    }
    Headline operator()(charging_state::TooCold) const {
        return {"Too cold to charge", "Charging resumes when the battery warms up"};
    }
    Headline operator()(charging_state::NotCharging) const {
        return {"Not charging", "Plugged in. macOS does not say why"};
    }
};

}  // namespace

std::optional<Charger> readCharger(const PowerSources& sources) {
    const auto details = sources.externalAdapterDetails();
    if (!details || !details->isDictionary()) return std::nullopt;
    return charger(details->asDictionary());
}

std::optional<Charger> charger(const Value::Dictionary* details) {
    if (!details || details->empty()) return std::nullopt;
    Charger c;
    if (const Value* name = find(*details, "Name"); name && name->isString()) c.name = *name->asString();
    if (const Value* w = find(*details, "Watts"); w && w->isInteger()) c.watts = w->longLongValue();
    if (const Value* wireless = find(*details, "IsWireless")) c.wireless = wireless->boolValue().value_or(false);
    return c;
}

std::shared_ptr<const Value::Dictionary> smartBatteryProperties(const Registry& registry) {
    const auto service = registry.firstService("AppleSmartBattery");
    if (!service) return nullptr;
    return registry.properties(*service);
}

PowerFlow powerFlow(const Value::Dictionary& properties) {
    PowerFlow flow;
    const Value* connected = find(properties, "ExternalConnected");
    if (connected && connected->boolValue() == true) {
        const auto& telemetry = dictionaryOr(find(properties, "PowerTelemetryData"));
        if (const auto load = watts(telemetry, "SystemLoad"); load && *load > 0) flow.system = load;
        flow.adapter = watts(telemetry, "SystemPowerIn");
        return flow;
    }
    // The current is negative while discharging, so the sign is turned.
    const double system = numberOrZero(properties, "Voltage") * numberOrZero(properties, "Amperage") / -1'000'000.0;
    if (system > 0) flow.system = system;
    return flow;
}

ChargerFlags chargerFlags(const Value::Dictionary& properties) {
    const Value* reason = find(dictionaryOr(find(properties, "ChargerData")), "NotChargingReason");
    if (!reason || !reason->isNumber()) return {};
    // The registry's unsigned 64-bit value, whose top bit reads as a sign here.
    return {static_cast<std::uint64_t>(*reason->longLongValue())};
}

ChargingState chargingState(const Battery& battery, ChargerFlags flags, const std::optional<PowerFlow>& flow,
                            const std::optional<Charger>& plugged, std::int64_t limit) {
    using namespace charging_state;
    // Negative while the battery discharges.
    const double w = static_cast<double>(battery.milliamps) * static_cast<double>(battery.millivolts) / 1'000'000.0;
    if (!battery.plugged) return OnBattery{};
    if (battery.charging) return Charging{w > 0 ? std::optional(w) : std::nullopt};
    if (battery.percent > 99) return Full{};
    if (w < -1.0 && flow && flow->adapter && *flow->adapter > 1.0)
        return WeakCharger{plugged ? plugged->watts : std::nullopt};
    if (limit <= 99 && battery.percent >= limit - 2) return Holding{limit};
    const std::uint64_t reason = flags.notChargingReason;
    if (reason & 0x1000000) return Paused{};
    if (reason & 0x14) return TooWarm{};
    if (reason & 0x0A) return TooCold{};
    return NotCharging{};
}

Headline chargingWords(const ChargingState& state) {
    return std::visit(ChargingWords{}, state);
}

}  // namespace norvane
