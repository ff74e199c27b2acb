#include "app/panel/SystemCard.h"

#include <algorithm>
#include <cmath>

#include "app/panel/StatsTab.h"
#include "app/visuals/ChargeTone.h"
#include "platform/Text.h"

namespace norvane {
namespace {

// Bytes as short text; "—" for a figure that is not a finite number.
std::string bytes(double value, double unit) {
    return std::isfinite(value) ? bytesText(value, unit) : notKnown;
}

std::string degrees(double celsius) {
    const auto whole = roundedInteger(celsius);
    return whole ? std::to_string(*whole) + "°" : notKnown;
}

}  // namespace

std::string SystemCard::percent(double fraction) {
    const auto whole = roundedInteger(fraction * 100);
    return whole ? std::to_string(*whole) + "%" : notKnown;
}

std::string SystemCard::pressureSuffix(std::optional<std::int64_t> level) {
    const std::int64_t pressure = level.value_or(1);
    if (pressure >= 4) return ", pressure critical";
    if (pressure >= 2) return ", pressure high";
    return "";
}

SystemCard::Row SystemCard::gauge(const std::string& label, std::optional<double> fraction,
                                  std::optional<std::string> text, std::optional<std::string> detail, bool hot,
                                  Color accent) {
    const double shown = known(fraction) ? std::clamp(*fraction, 0.0, 1.0) : 0.0;
    // A figure that could not be written is not measured either.
    if (text == notKnown) text.reset();
    Row row{label, text.value_or(notKnown), detail, DotBar{shown, hot ? signalRed : accent}, hot, {}};
    row.accessibility = label + " " + text.value_or(notMeasured) + (detail ? ", " + *detail : "");
    return row;
}

SystemCard::Row SystemCard::traffic(const std::string& label, std::optional<double> first,
                                    std::optional<double> second, std::pair<std::string, std::string> words,
                                    Color accent) {
    first = known(first);
    second = known(second);
    Row row = gauge(label, std::nullopt, std::nullopt, std::nullopt, false, accent);
    if (first && second) {
        const double total = *first + *second;
        const double fraction = (std::log10(std::max(total, 1.0)) - 3) / 6;
        row = gauge(label, fraction, bytes(total, 1000) + "/s",
                    words.first + " " + bytes(*first, 1000) + " · " + words.second + " " + bytes(*second, 1000), false,
                    accent);
    }
    row.detailRoom = true;
    return row;
}

SystemCard SystemCard::make(const std::optional<SystemReading>& reading, const std::string& chip, Color accent) {
    SystemCard card{chip, {}};
    auto& rows = card.rows;
    const SystemReading r = reading.value_or(SystemReading{});
    const auto cpu = known(r.cpu);
    rows.push_back(gauge("CPU load", cpu.value_or(0), cpu ? std::optional(percent(*cpu)) : std::nullopt,
                         std::nullopt, false, accent));
    if (r.gpu) rows.push_back(gauge("GPU load", *r.gpu, percent(*r.gpu), std::nullopt, false, accent));
    if (r.memoryUsed && r.memoryTotal && *r.memoryTotal > 0) {
        const std::string suffix = pressureSuffix(r.memoryPressure);
        rows.push_back(gauge("Memory", *r.memoryUsed / *r.memoryTotal, bytes(*r.memoryUsed, 1024),
                             "of " + bytes(*r.memoryTotal, 1024) + suffix, r.memoryPressure.value_or(1) >= 2,
                             accent));
    }
    if (r.diskFree && r.diskTotal && *r.diskTotal > 0) {
        const double used = 1 - *r.diskFree / *r.diskTotal;
        rows.push_back(gauge("Disk", used, percent(used),
                             bytes(*r.diskFree, 1000) + " free of " + bytes(*r.diskTotal, 1000),
                             *r.diskFree < 10'000'000'000.0, accent));
    }
    rows.push_back(traffic("Disk activity", r.diskRead, r.diskWritten, {"R", "W"}, accent));
    rows.push_back(traffic("Network", r.networkIn, r.networkOut, {"↓", "↑"}, accent));
    // Hot compares the figure before rounding: 94.6 °C shows 95° and is not hot.
    if (const auto t = r.cpuTemperature)
        rows.push_back(gauge("CPU temperature", (*t - 30) / 70, degrees(*t), std::nullopt, *t >= 95, accent));
    if (const auto t = r.batteryTemperature)
        rows.push_back(gauge("Battery", (*t - 15) / 30, degrees(*t), std::nullopt, *t >= 40, accent));
    if (r.fanRPM && r.fanMax && *r.fanMax > 0) {
        const auto rpm = truncatedInteger(*r.fanRPM);
        const std::string speed = !rpm ? notKnown : *r.fanRPM >= 1 ? std::to_string(*rpm) + " rpm" : "Off";
        rows.push_back(gauge("Fans", *r.fanRPM / *r.fanMax, speed, std::nullopt, false, accent));
    }
    return card;
}

const std::vector<ModelField>& SystemCard::fields() {
    static const std::vector<ModelField> fields{ModelField::system};
    return fields;
}

}  // namespace norvane
