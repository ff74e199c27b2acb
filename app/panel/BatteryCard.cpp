#include "app/panel/BatteryCard.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/analysis/Duration.h"
#include "platform/Text.h"

namespace norvane {
namespace {

std::string watts(double value) {
    return formatFixed(value, 1) + " W";
}

std::string watts(std::optional<double> value) {
    return known(value) ? watts(*value) : notKnown;
}

// Milliamps times millivolts in watts, without an integer product that could overflow.
double batteryWatts(const Battery& b) {
    return static_cast<double>(b.milliamps) * static_cast<double>(b.millivolts) / 1'000'000;
}

// The magnitude of a whole number, also of the most negative one.
std::string magnitude(std::int64_t value) {
    const auto unsignedValue = static_cast<std::uint64_t>(value);
    return std::to_string(value < 0 ? 0 - unsignedValue : unsignedValue);
}

}  // namespace

TextStyle BatteryCard::valueStyle() {
    return {.size = 14, .weight = FontWeight::medium};
}

TextStyle BatteryCard::summaryStyle() {
    return {.size = 13, .weight = FontWeight::medium, .color = Color::white(0.7)};
}

BatteryCard BatteryCard::make(const AppModel& m) {
    const Battery& b = m.battery();
    BatteryCard card;
    const auto health = m.systemHealth() ? m.systemHealth() : b.health();
    card.first = {Fact{health ? std::to_string(*health) + "%" : notKnown, "Health"},
                  Fact{std::to_string(b.cycles), "Cycles"}, Fact{std::to_string(b.nominal) + " mAh", "Capacity"}};

    const auto& flow = m.flow();
    const auto system = known(flow ? flow->system : std::nullopt);
    const auto drain = known(m.drain());
    const auto& forecast = m.forecast();
    card.second = {Fact{watts(system ? *system : std::abs(batteryWatts(b))), "Mac uses"},
                   Fact{drain ? "≈" + formatFixed(*drain, 0) + "%" : notKnown, b.plugged ? "If unplugged" : "Per hour"},
                   Fact{forecast ? duration(forecast->minutes) : notKnown, b.charging ? "To full" : "Remaining"}};
    if (!b.plugged) return card;

    const auto& charger = m.charger();
    card.third = {Fact{charger && charger->watts ? std::to_string(*charger->watts) + " W" : notKnown, "Charger"},
                  Fact{watts(flow ? flow->adapter : std::nullopt), "From wall"},
                  Fact{b.charging ? watts(batteryWatts(b)) : notKnown, "Into battery"}};
    const std::string detail = chargingWords(m.charging()).detail;
    card.chargerLine = charger && charger->name ? *charger->name + " · " + detail : detail;
    return card;
}

std::optional<int> BatteryCard::level(double percent) {
    const double dots = std::ceil((percent - 80) * 0.5);
    if (!std::isfinite(dots)) return std::nullopt;
    return static_cast<int>(std::clamp(dots, 1.0, 10.0));
}

BatteryCard::Trend BatteryCard::trend(const AppModel& m, Date now, const DateFormatter& format) {
    const std::int64_t design = m.battery().design;
    Trend trend;
    // Without a design capacity there is nothing to chart against: no columns, not empty ones.
    if (design > 0) {
        for (const auto& month : m.health().monthly(12, now, design, m.calendar())) {
            const auto dots = month ? level(month->percent) : std::nullopt;
            trend.levels.insert(trend.levels.end(), 2, dots);
        }
    }
    const auto change = m.health().change(now, design, m.calendar());
    if (!change) {
        trend.accessibility = "Capacity over twelve months";
        trend.note =
            "Norvane records the capacity once a day; the chart fills as months pass. Each dot is 2%, from 80% up.";
        return trend;
    }
    const std::string sign = change->points > 0 ? "+" : change->points < 0 ? "−" : "";
    trend.summary = sign + magnitude(change->points) + "% · " + std::to_string(change->cycles) + " cycles";
    trend.accessibility = "Capacity changed by " + std::to_string(change->points) + " percent since " +
                          format.monthName(change->since);
    trend.note = "Since " + format.monthAndYear(change->since) + ". Each dot is 2% of the capacity when new, from 80% up.";
    return trend;
}

std::vector<std::int64_t> BatteryCard::sliderValues(const std::vector<std::int64_t>& offered) {
    const std::int64_t first = offered.empty() ? 80 : std::clamp<std::int64_t>(offered.front(), 0, 100);
    std::vector<std::int64_t> values;
    for (std::int64_t v = first; v < 100; v += 5)
        values.push_back(v);
    values.push_back(100);  // "Off" is always within reach
    return values;
}

std::size_t BatteryCard::nearest(const std::vector<std::int64_t>& values, double percent) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < values.size(); ++i)
        if (std::abs(static_cast<double>(values[i]) - percent) < std::abs(static_cast<double>(values[best]) - percent))
            best = i;
    return best;
}

BatteryCard::Limit BatteryCard::limit(const AppModel& m, const StatsTab& tab) {
    const LimitAvailability availability = m.limitAvailability();
    if (const auto* ready = std::get_if<availability::Ready>(&availability)) {
        LimitSlider slider;
        slider.values = sliderValues(ready->limits);
        slider.position = nearest(slider.values, tab.slider);
        const auto percent = truncatedInteger(tab.slider);
        if (tab.slider >= 100)
            slider.reading = slider.accessibilityValue = "Off";
        else if (percent)
            slider.reading = std::to_string(*percent) + "%", slider.accessibilityValue = std::to_string(*percent) + " percent";
        else
            slider.reading = slider.accessibilityValue = notKnown;
        slider.busy = m.limitBusy();
        slider.note = m.limitNote().value_or(LimitSlider::defaultNote);
        return slider;
    }
    if (const auto* unverified = std::get_if<availability::UnverifiedOS>(&availability))
        return LimitSettings{"Charge limit is not verified on macOS " + unverified->version +
                             " yet. Use System Settings until Norvane is updated."};
    if (const auto* unsupported = std::get_if<availability::Unsupported>(&availability))
        return LimitNote{unsupported->reason.empty() ? "Charge limit is not available on this Mac." : unsupported->reason};
    return LimitNote{"Charge limit needs macOS 26.4 or later."};
}

const std::vector<ModelField>& BatteryCard::fields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::battery, F::systemHealth, F::flow,  F::charger,
                                                F::drain,   F::forecast,     F::limit, F::chargerFlags};
    return fields;
}

const std::vector<ModelField>& BatteryCard::trendFields() {
    static const std::vector<ModelField> fields{ModelField::health, ModelField::battery};
    return fields;
}

const std::vector<ModelField>& BatteryCard::limitFields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::limitAvailability, F::limit, F::limitBusy, F::limitNote};
    return fields;
}

}  // namespace norvane
