#pragma once
// The draw, the time-left forecast, the usual drain and the minutes gained by quitting an
// app: pure functions of the readings that the model keeps.

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/readings/Battery.h"
#include "app/readings/HistoryStore.h"
#include "app/readings/LivePower.h"
#include "platform/Time.h"

namespace norvane {

// One current-draw reading: the system's draw in mA.
struct Draw {
    Date time;
    std::int64_t milliamps = 0;
    bool operator==(const Draw&) const = default;
};

// The time-left estimate.
struct Forecast {
    std::int64_t minutes = 0;
    bool smoothed = false;  // computed here from the average draw; false: the system's own estimate
    bool early = false;     // the average rests on less than 120 s of readings
    bool operator==(const Forecast&) const = default;
};

// What the model keeps after the user quits an app, to measure the gain later.
struct QuitEffect {
    std::string name;
    Date time;
    double before = 0;  // the average draw in mA before the quit
    bool operator==(const QuitEffect&) const = default;
};

// The mean of the recent draws.
struct AverageDraw {
    double milliamps = 0;
    bool settled = false;  // the oldest draw kept is at least 120 s old
    bool operator==(const AverageDraw&) const = default;
};

// The system's draw in mA from the live sensor figures, rounded half away from zero;
// absent without current or voltage, at 5000 mV or below, when the draw is not above 0,
// and when a figure is not finite or the draw does not fit the integer.
std::optional<std::int64_t> liveDraw(const LivePower& power);

// The mean of the draws at most 900 s old (at least four of them); absent when the mean is
// not above 0.
std::optional<AverageDraw> averageDraw(const std::vector<Draw>& draws, Date now);

// On battery, the charge over the average draw; otherwise (plugged in, no charge, no
// average) the system's own estimate, or absent without one.
std::optional<Forecast> makeForecast(const Battery& battery, const std::vector<Draw>& draws, Date now);

// The on-battery drain in percent per hour over the last 7 days of history; absent with
// less than 2 hours of usable pairs of samples.
std::optional<double> usualDrain(const std::vector<Sample>& samples, Date now);

// Minutes that quitting an app with this share (0...1) of the energy would add to a
// forecast of `forecast` minutes. The forecast is a whole number of minutes: a floating
// point argument does not convert silently (see the deleted overload below).
std::int64_t gainMinutes(std::int64_t forecast, double share);
template <std::floating_point F>
std::int64_t gainMinutes(F forecast, double share) = delete;

// Minutes gained, measured after a quit, from the remaining charge (mAh) and the average
// draw (mA) before and after the quit; 0 unless both draws are above 0.
std::int64_t gainMinutes(double remaining, double before, double after);

}  // namespace norvane
