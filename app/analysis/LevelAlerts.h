#pragma once
// The notices at the user's own low and high charge levels.

#include <cstdint>
#include <optional>
#include <vector>

#include "app/analysis/Notice.h"

namespace norvane {

// Whether one alert has fired since it was last armed.
struct Once {
    bool sent = false;

    // One pass with the level unchanged: true when the alert fires now (crossed and armed);
    // not crossed and clearly back (`rearm`) arms it again.
    bool pass(bool crossed, bool rearm);
    // The level was changed: take on, without a notice, the state the new level would have.
    void resync(bool crossed, bool rearm);

    bool operator==(const Once&) const = default;
};

struct LevelAlerts {
    struct Levels {
        std::optional<std::int64_t> low;
        std::optional<std::int64_t> high;
        bool operator==(const Levels&) const = default;
    };

    Once lowAlert;
    Once highAlert;
    std::optional<Levels> seen;  // the levels of the previous call

    // `low` and `high` are the user's levels in percent, absent when that alert is off. The
    // low alert looks only at battery, the high one only at wall power, so a change of power
    // source re-arms the other. The low notice comes first.
    std::vector<Notice> due(std::int64_t percent, bool plugged, std::optional<std::int64_t> low,
                            std::optional<std::int64_t> high);

    bool operator==(const LevelAlerts&) const = default;
};

}  // namespace norvane
