#pragma once
// The three live power figures of the power controller that the tick reads; each is
// absent when it cannot be read.

#include <optional>

namespace norvane {

struct LivePower {
    std::optional<double> batteryMilliamps;  // "B0AC": negative while discharging
    std::optional<double> batteryMillivolts;  // "B0AV"
    std::optional<double> adapterWatts;       // "PDTR"
    bool operator==(const LivePower&) const = default;
};

}  // namespace norvane
