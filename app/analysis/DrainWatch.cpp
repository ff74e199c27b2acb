#include "app/analysis/DrainWatch.h"

#include <cmath>

#include "app/analysis/AppUsage.h"
#include "app/analysis/Attention.h"
#include "platform/Text.h"

namespace norvane {

namespace {
constexpr double minimumShare = 0.4;
constexpr double maximumGap = 120;     // seconds between two sightings of the same app
constexpr double holdFor = 600;        // seconds at the top before a notice
constexpr double minimumDrain = 12.0;  // percent per hour
constexpr double fasterBy = 1.5;
constexpr double quietFor = 10'800;  // seconds between two notices for one app
}  // namespace

std::optional<Notice> DrainWatch::due(const std::optional<Top>& top, std::optional<double> drain,
                                      std::optional<double> usual, bool plugged, Date now) {
    if (plugged || !top || top->id.empty() || !(top->share >= minimumShare)) {
        held.reset();
        return std::nullopt;
    }
    if (held && held->id == top->id && now - held->seen <= maximumGap)
        held->seen = now;
    else
        held = Held{top->id, now, now};

    if (now - held->since < holdFor || !drain || !usual) return std::nullopt;
    // A figure that is not finite has no whole percent to show.
    if (!std::isfinite(*drain) || !std::isfinite(*usual)) return std::nullopt;
    if (!(*usual > 0) || *drain < *usual * fasterBy || *drain < minimumDrain) return std::nullopt;
    if (const auto last = sent.find(top->id); last != sent.end() && now - last->second < quietFor) return std::nullopt;
    sent[top->id] = now;

    const std::string line = advice(AppUsage{top->id, top->name}, top->share, false, true);
    return Notice{top->name + " is draining the battery", "About " + formatFixed(std::round(*drain), 0) +
                                                              "% per hour, " + multiple(*drain / *usual) +
                                                              " your usual. " + line + "."};
}

std::string multiple(double ratio) {
    const double r = std::round(ratio * 2) / 2;
    if (r == 1.5) return "one and a half times";
    if (r == 2) return "twice";
    return formatGeneral(r) + " times";
}

}  // namespace norvane
