#include "app/analysis/Forecast.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

constexpr double window = 900;          // seconds of draws the average looks at
constexpr double settledAfter = 120;    // seconds of draws that make the average settled
constexpr double week = 604'800;        // seconds of history the usual drain looks at
constexpr double longestGap = 150;      // seconds between two samples of one pair
constexpr double leastHistory = 7'200;  // seconds of pairs the usual drain needs

// The integer that `value` truncates to, or absent when no integer conversion is defined
// for it (NaN, infinities, anything outside the 64-bit range).
std::optional<std::int64_t> truncated(double value) {
    if (!(value >= -0x1p63 && value < 0x1p63)) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

// Rounded half away from zero, with the same guard.
std::optional<std::int64_t> rounded(double value) {
    return truncated(std::round(value));
}

}  // namespace

std::optional<std::int64_t> liveDraw(const LivePower& power) {
    if (!power.batteryMilliamps || !power.batteryMillivolts) return std::nullopt;
    const double current = *power.batteryMilliamps;
    const double volts = *power.batteryMillivolts;
    const double watts = power.adapterWatts.value_or(0);
    // A sensor figure that is not a finite number is no reading at all (an infinite
    // voltage would otherwise turn any adapter power into 0 mA).
    if (!std::isfinite(current) || !std::isfinite(volts) || !std::isfinite(watts)) return std::nullopt;
    if (!(volts > 5000)) return std::nullopt;
    const double draw = watts * 1'000'000 / volts - current;
    if (!(draw > 0)) return std::nullopt;
    return rounded(draw);  // a draw beyond the 64-bit range: absent
}

std::optional<AverageDraw> averageDraw(const std::vector<Draw>& draws, Date now) {
    std::int64_t sum = 0;
    std::int64_t count = 0;
    const Draw* first = nullptr;
    for (const Draw& draw : draws) {
        if (!(now - draw.time <= window)) continue;  // a NaN time is never recent
        if (!first) first = &draw;
        // A sum beyond the 64-bit range has no meaning as a draw: no average.
        if (__builtin_add_overflow(sum, draw.milliamps, &sum)) return std::nullopt;
        ++count;
    }
    if (count < 4) return std::nullopt;
    const double mean = static_cast<double>(sum) / static_cast<double>(count);
    if (!(mean > 0)) return std::nullopt;
    return AverageDraw{mean, now - first->time >= settledAfter};
}

std::optional<Forecast> makeForecast(const Battery& battery, const std::vector<Draw>& draws, Date now) {
    if (!battery.plugged) {
        const double charge = static_cast<double>(battery.percent) * static_cast<double>(battery.rawMax) / 100;
        if (charge > 0) {
            if (const auto average = averageDraw(draws, now)) {
                // The mean is above 0, so the quotient is a positive number; only an absurd
                // battery figure could take it beyond the integer range, and such a figure
                // counts as no figure here.
                if (const auto minutes = truncated(charge / average->milliamps * 60)) {
                    return Forecast{*minutes, true, !average->settled};
                }
            }
        }
    }
    if (!battery.systemMinutes) return std::nullopt;
    return Forecast{*battery.systemMinutes, false, false};
}

std::optional<double> usualDrain(const std::vector<Sample>& samples, Date now) {
    double time = 0;
    double drop = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const Sample& a = samples[i - 1];
        const Sample& b = samples[i];
        if (!(now - a.time <= week)) continue;
        const double dt = b.time - a.time;
        if (!(dt > 0 && dt <= longestGap)) continue;
        if (a.plugged || b.plugged || a.charging || b.charging) continue;
        time += dt;
        // In doubles: exact for any real percentage, and no integer overflow for odd ones.
        drop += std::max(0.0, static_cast<double>(a.percent) - static_cast<double>(b.percent));
    }
    if (time < leastHistory) return std::nullopt;
    return drop / (time / 3600);
}

std::int64_t gainMinutes(std::int64_t forecast, double share) {
    const double s = share > 0 ? std::min(share, 1.0) * 0.5 : 0;  // a NaN share counts as 0
    // 1 - s is at least 0.5; a result beyond the integer range (only from a forecast near
    // the 64-bit limit) gives no gain.
    return truncated(s * static_cast<double>(forecast) / (1 - s)).value_or(0);
}

std::int64_t gainMinutes(double remaining, double before, double after) {
    if (!(before > 0 && after > 0)) return 0;
    // A non-finite remaining charge, or draws so small that the minutes leave the integer
    // range, give no gain.
    return rounded((remaining / after - remaining / before) * 60).value_or(0);
}

}  // namespace norvane
