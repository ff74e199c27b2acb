#include "app/analysis/LevelAlerts.h"

#include <string>

#include "app/analysis/Levels.h"

namespace norvane {

bool Once::pass(bool crossed, bool rearm) {
    if (crossed) {
        if (sent) return false;
        sent = true;
        return true;
    }
    if (rearm) sent = false;
    return false;
}

void Once::resync(bool crossed, bool rearm) {
    sent = crossed || (sent && !rearm);
}

std::vector<Notice> LevelAlerts::due(std::int64_t percent, bool plugged, std::optional<std::int64_t> low,
                                     std::optional<std::int64_t> high) {
    std::vector<Notice> notices;
    const std::string shown = std::to_string(percent) + "%";

    bool crossed = false;
    bool rearm = true;
    if (low && !plugged) {
        crossed = percent <= *low;
        rearm = percent >= levelPlus(*low, 5);
    }
    if (!seen || seen->low == low) {
        if (lowAlert.pass(crossed, rearm)) notices.push_back({"Battery at " + shown, "Time to plug in."});
    } else {
        lowAlert.resync(crossed, rearm);
    }

    crossed = false;
    rearm = true;
    if (high && plugged) {
        crossed = percent >= *high;
        rearm = percent <= levelPlus(*high, -5);
    }
    if (!seen || seen->high == high) {
        if (highAlert.pass(crossed, rearm)) notices.push_back({"Charged to " + shown, "You can unplug now."});
    } else {
        highAlert.resync(crossed, rearm);
    }

    seen = Levels{low, high};
    return notices;
}

}  // namespace norvane
