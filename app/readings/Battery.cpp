#include "app/readings/Battery.h"

#include <cmath>

#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {
namespace {

// A key's number: top level first, the nested BatteryData only when the top level lacks
// the key (a top-level value of the wrong kind does not fall back).
class NumberReader {
public:
    NumberReader(const Value::Dictionary& top, const Value::Dictionary& nested) : top_(top), nested_(nested) {}

    std::optional<std::int64_t> operator()(std::string_view key) const {
        const Value* value = find(top_, key);
        if (!value) value = find(nested_, key);
        if (!value || !value->isNumber()) return std::nullopt;
        return value->longLongValue();
    }

private:
    const Value::Dictionary& top_;
    const Value::Dictionary& nested_;
};

bool topLevelFlag(const Value::Dictionary& top, std::string_view key) {
    const Value* value = find(top, key);
    return value && value->boolValue().value_or(false);
}

// The first SPPowerDataType entry that carries the health dictionary.
std::optional<Value::Dictionary> healthInfo(std::string_view data) {
    auto root = parseJson(data);
    if (!root) return std::nullopt;
    const Value* entries = root->find("SPPowerDataType");
    if (!entries || !entries->isArray()) return std::nullopt;
    for (const Value& entry : *entries->asArray()) {
        if (!entry.isDictionary()) return std::nullopt;  // the shape is an array of dictionaries
    }
    for (const Value& entry : *entries->asArray()) {
        const Value* health = entry.find("sppower_battery_health_info");
        if (health && health->isDictionary()) return *health->asDictionary();
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> Battery::health() const {
    if (design < 1 || nominal < 1) return std::nullopt;
    const double ratio = static_cast<double>(nominal) / static_cast<double>(design) * 100.0;
    const double rounded = std::round(ratio);  // halves away from zero
    return rounded >= 100.0 ? 100 : static_cast<std::int64_t>(rounded);
}

std::optional<Battery> Battery::read(const Registry& registry) {
    const auto service = registry.firstService("AppleSmartBattery");
    if (!service) return std::nullopt;
    const auto top = registry.properties(*service);
    if (!top) return std::nullopt;

    // A Mac without a battery still has the entry, all zeros on wall power: it is no battery.
    if (const Value* installed = find(*top, "BatteryInstalled"); installed && installed->boolValue() == false)
        return std::nullopt;

    static const Value::Dictionary empty;
    const Value* nestedValue = find(*top, "BatteryData");
    const Value::Dictionary& nested =
        nestedValue && nestedValue->isDictionary() ? *nestedValue->asDictionary() : empty;
    const NumberReader num(*top, nested);

    Battery b;
    b.percent = num("CurrentCapacity").value_or(0);
    b.charging = topLevelFlag(*top, "IsCharging");
    b.plugged = topLevelFlag(*top, "ExternalConnected");
    b.milliamps = num("Amperage").value_or(0);
    b.millivolts = num("Voltage").value_or(0);
    b.rawMax = num("AppleRawMaxCapacity").value_or(0);
    // Newer systems keep the full-charge capacity only as BatteryData's FullChargeCapacity.
    if (!find(*top, "AppleRawMaxCapacity") && !find(nested, "AppleRawMaxCapacity"))
        b.rawMax = NumberReader(empty, nested)("FullChargeCapacity").value_or(0);
    b.nominal = num("NominalChargeCapacity").value_or(b.rawMax);
    b.design = num("DesignCapacity").value_or(0);
    b.cycles = num("CycleCount").value_or(0);
    // On the adapter but not charging the system gives no meaningful estimate.
    if (b.charging || !b.plugged) {
        const auto minutes = num(b.charging ? "AvgTimeToFull" : "AvgTimeToEmpty");
        // 65535 means the estimate is still being computed.
        if (minutes && *minutes >= 1 && *minutes <= 65534) b.systemMinutes = minutes;
    }
    return b;
}

SystemBatteryReport systemBatteryReport(const ProcessRunner& runner) {
    const auto result = runner.run("/usr/sbin/system_profiler", {"SPPowerDataType", "-json"}, ErrorOutput::discard);
    if (!result.started) return {};
    return {parseMaximumCapacity(result.output), parseServiceRecommended(result.output)};
}

std::optional<std::int64_t> parseMaximumCapacity(std::string_view data) {
    const auto health = healthInfo(data);
    if (!health) return std::nullopt;
    const Value* value = find(*health, "sppower_battery_health_maximum_capacity");
    if (!value || !value->isString()) return std::nullopt;
    const auto codePoints = decodeUtf8(*value->asString());
    if (!codePoints) return std::nullopt;
    // Keep every character with the Unicode number property; only ASCII digits can then
    // parse as a decimal integer, so "９１%" or "½" give absent as they would on a Mac.
    std::u32string kept;
    for (char32_t c : *codePoints)
        if (isUnicodeNumber(c)) kept.push_back(c);
    if (kept.empty()) return std::nullopt;
    const auto number = parseInt64(encodeUtf8(kept));
    if (!number || *number < 1 || *number > 150) return std::nullopt;
    return number;
}

bool parseServiceRecommended(std::string_view data) {
    const auto health = healthInfo(data);
    if (!health) return false;
    const Value* value = find(*health, "sppower_battery_health");
    if (!value || !value->isString()) return false;
    return *value->asString() != "Good";
}

}  // namespace norvane
