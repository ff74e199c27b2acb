#include "app/analysis/Situation.h"

#include <cmath>

#include "app/analysis/Duration.h"

namespace norvane {

namespace {

const std::string approx = "\xE2\x89\x88";  // "≈", U+2248

// Q: how much of the energy, in words.
std::string partOf(double share) {
    if (share >= 0.6) return "most";
    if (share >= 0.45) return "about half";
    return "a third";
}

// The moment the minutes from now end.
Date after(Date now, std::int64_t minutes) {
    return now + static_cast<double>(minutes) * 60;
}

template <class... F>
struct Cases : F... {
    using F::operator()...;
};

}  // namespace

// The nudge keeps binary rounding from costing an exact decimal share a percent (0.29 * 100
// is 28.999…).
std::string sharePercent(double share) {
    const double percent = share * 100 + std::copysign(1e-9, share);
    if (!(percent >= -0x1p63 && percent < 0x1p63)) return "0";
    return std::to_string(static_cast<std::int64_t>(percent));
}

Headline templateHeadline(const Situation& current, Date now, const std::function<std::string(Date)>& clock) {
    using namespace situation;
    return std::visit(
        Cases{
            [](const Charging& s) -> Headline {
                if (s.minutes) return {"Charging", "Full in " + duration(*s.minutes)};
                return {"Charging", "Working out the time to full"};
            },
            [](const Holding& s) -> Headline {
                return {"Holding at " + std::to_string(s.percent) + "%",
                        "Charge limit is set to " + std::to_string(s.limit) + "%"};
            },
            [](const PluggedIdle& s) -> Headline {
                return {"Plugged in, not charging",
                        "macOS is holding the charge at " + std::to_string(s.percent) + "%"};
            },
            [](const Low& s) -> Headline {
                return {"Running low", approx + duration(s.minutes) + " left. Plug in soon"};
            },
            [](const Faster& s) -> Headline {
                return {"Draining faster than usual", s.app + " is using " + sharePercent(s.share) + "% of the energy"};
            },
            [&](const HeavyApp& s) -> Headline {
                return {s.app + " is using " + partOf(s.share) + " of your energy",
                        approx + duration(s.minutes) + " left, until " + clock(after(now, s.minutes))};
            },
            [&](const Plenty& s) -> Headline {
                return {"Enough until " + clock(after(now, s.minutes)),
                        approx + duration(s.minutes) + " left at the current rate"};
            },
            [](const Full&) -> Headline {
                return {"Fully charged", "Running on wall power"};
            },
            [](const Estimating&) -> Headline {
                return {"On battery", "Working out how long it will last"};
            },
        },
        current);
}

}  // namespace norvane
