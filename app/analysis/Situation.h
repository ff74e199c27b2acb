#pragma once
// What the summary at the top of the panel says, and its fixed wording.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "app/analysis/Headline.h"
#include "platform/Time.h"

namespace norvane {

// The cases of `Situation`, each with its payload.
namespace situation {

// Charging; minutes to full when known.
struct Charging {
    std::optional<std::int64_t> minutes;
    bool operator==(const Charging&) const = default;
};
// Plugged in and held at the charge limit.
struct Holding {
    std::int64_t percent = 0;
    std::int64_t limit = 0;
    bool operator==(const Holding&) const = default;
};
// Plugged in, neither charging nor held by the limit.
struct PluggedIdle {
    std::int64_t percent = 0;
    bool operator==(const PluggedIdle&) const = default;
};
// On battery and running low.
struct Low {
    std::int64_t minutes = 0;
    bool operator==(const Low&) const = default;
};
// Draining faster than usual; the heaviest app and its share (0...1).
struct Faster {
    std::string app;
    double share = 0;
    std::int64_t minutes = 0;
    bool operator==(const Faster&) const = default;
};
// One app takes a large part of the energy.
struct HeavyApp {
    std::string app;
    double share = 0;
    std::int64_t minutes = 0;
    bool operator==(const HeavyApp&) const = default;
};
// On battery with enough time left.
struct Plenty {
    std::int64_t minutes = 0;
    bool operator==(const Plenty&) const = default;
};
// Fully charged on wall power.
struct Full {
    bool operator==(const Full&) const = default;
};
// On battery, no forecast yet.
struct Estimating {
    bool operator==(const Estimating&) const = default;
};

}  // namespace situation

// Case order: charging, holding, pluggedIdle, low, faster,
// heavyApp, plenty, full, estimating.
using Situation =
    std::variant<situation::Charging, situation::Holding, situation::PluggedIdle, situation::Low, situation::Faster,
                 situation::HeavyApp, situation::Plenty, situation::Full, situation::Estimating>;

// A share of the energy (0...1) in whole percent, truncated toward zero: "37" for 0.374.
// A share with no such integer (NaN, infinite, absurdly large) gives "0".
std::string sharePercent(double share);

// The fixed title and detail of the situation. `clock` formats a moment as the time of
// day (the model passes its short-style formatter); it is used for now + minutes.
Headline templateHeadline(const Situation& situation, Date now, const std::function<std::string(Date)>& clock);

}  // namespace norvane
