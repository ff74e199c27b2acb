#include "app/panel/RingRow.h"

#include <cmath>

#include "app/analysis/Duration.h"
#include "app/visuals/ChargeTone.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr Date referenceDate{978'307'200};  // 1 January 2001, 00:00 UTC

std::string place(const Battery& battery) {
    return battery.plugged ? "plugged in" : "on battery";
}

}  // namespace

RingRow::Charge RingRow::charge(const Battery& battery, bool hasBattery) {
    if (!hasBattery) return {0, Color::white(0.35), false, 5.0, "No battery", false};
    return {battery.percent, color(chargeTone(battery.percent)), battery.charging, battery.percent == 100 ? 4.0 : 5.0,
            "Battery " + std::to_string(battery.percent) + " percent"};
}

bool RingRow::blinkAt(Date date) {
    const auto step = truncatedInteger((date - referenceDate) / blinkStep);
    return step && *step % 2 == 0;
}

double RingRow::untilNextBlink(Date date) {
    const double into = std::fmod(date - referenceDate, blinkStep);
    if (!std::isfinite(into)) return blinkStep;
    const double offset = into < 0 ? into + blinkStep : into;  // 0 ... step, also before 2001
    const double wait = blinkStep / 2 - offset;
    return wait > 0 ? wait : wait + blinkStep;
}

TextStyle RingRow::unitStyle() {
    return {.size = 10, .weight = FontWeight::medium, .monospaced = true, .color = Color::white(0.5)};
}

RingRow::TimeLeft RingRow::timeLeft(const Battery& battery, const std::optional<Forecast>& forecast,
                                    const std::optional<Charger>& charger, const std::optional<PowerFlow>& flow) {
    const std::string chargerPart =
        charger && charger->watts ? " · " + std::to_string(*charger->watts) + " W charger" : "";
    // A draw that is not a finite number of watts is no reading.
    const auto watts = flow && flow->system ? roundedInteger(*flow->system) : std::nullopt;
    const Color white = Color::white();
    if (battery.plugged && !forecast && watts) {
        const std::string w = std::to_string(*watts);
        return {w, white, true, "now" + chargerPart, "The Mac is using " + w + " watts"};
    }
    if (forecast) {
        const std::string clockText = clock(forecast->minutes);
        if (battery.charging)
            return {clockText, white, false, "to full" + chargerPart, duration(forecast->minutes) + " to full"};
        return {clockText, white, false, "left on battery", duration(forecast->minutes) + " left"};
    }
    return {"-:--", Color::white(0.35), false, battery.plugged ? "on wall power" : "estimating…", "No time estimate"};
}

TextStyle RingRow::LowPowerSwitch::titleStyle() {
    return {.size = 13, .weight = FontWeight::medium};
}

RingRow::Energy RingRow::energy(const AppModel& m) {
    const std::string where = place(m.battery());
    const bool automatic = m.autoLowPower() >= 1 && isReady(m.helperState());
    const std::string under = std::to_string(m.autoLowPower()) + "%";
    Energy out;
    out.enabled = !m.lowPowerBusy();
    if (!m.highPowerAvailable()) {
        out.control = LowPowerSwitch{m.lowPower()};
        if (m.lowPower() && m.lowPowerOwed())
            out.caption = "On by itself · off after charging";
        else if (!m.lowPower() && automatic)
            out.caption = "Off · on by itself under " + under;
        else
            out.caption = std::string(m.lowPower() ? "On" : "Off") + " · " + where;
        return out;
    }
    ModeSegments modes;
    modes.options = {1, 0, 2};
    modes.segments = Segments<std::int64_t>{
        modes.options, m.powerMode(), true, [](const std::int64_t& mode) {
            return std::string(mode == 1 ? "LOW" : mode == 2 ? "HIGH" : "AUTO");
        }}.segments();
    out.control = std::move(modes);
    if (m.powerMode() == 2)
        out.caption = "High Power · " + where;
    else if (m.powerMode() == 1)
        out.caption = m.lowPowerOwed() ? "Low by itself · off after charging" : "Low Power · " + where;
    else
        out.caption = automatic ? "Automatic · low under " + under : "Automatic · " + where;
    return out;
}

const std::vector<ModelField>& RingRow::timeLeftFields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::battery, F::forecast, F::charger, F::flow};
    return fields;
}

const std::vector<ModelField>& RingRow::energyFields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::battery,      F::highPowerAvailable, F::powerMode,
                                                F::lowPower,     F::lowPowerOwed,       F::lowPowerBusy,
                                                F::autoLowPower, F::helperState};
    return fields;
}

}  // namespace norvane
