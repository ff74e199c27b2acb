#include "app/analysis/AutoLowPower.h"

#include <string>

#include "app/analysis/Levels.h"

namespace norvane {

namespace {
constexpr double gap = 30;  // seconds between two switches the app asks for
}  // namespace

AutoLowPower::Step AutoLowPower::step(std::int64_t level, std::int64_t percent, bool plugged, bool lowPowerOn, Date now,
                                      bool lowPowerOwed) {
    Step out{std::monostate{}, lowPowerOwed};
    const bool quiet = !asked || now - *asked >= gap;
    // Off after the gap while owed: the user turned it off, or the switch never took. Either
    // way there is nothing to hand back, on battery or on wall power (where the caller gives
    // the battery's own setting).
    if (quiet && !lowPowerOn) out.lowPowerOwed = false;

    if (plugged) {
        armed = true;
        if (owned) {
            owned = false;
            asked = now;
        }
    } else if (quiet) {
        if (owned && !lowPowerOn) owned = false;
        if (level < 1) {
            armed = true;
        } else {
            if (percent >= levelPlus(level, 5)) armed = true;
            if (armed && percent <= level) {
                armed = false;
                if (!lowPowerOn) {
                    owned = true;
                    asked = now;
                    out.lowPowerOwed = true;
                    out.action =
                        SwitchOn{{"Low Power Mode is on", "The battery is at " + std::to_string(percent) +
                                                              "%. Norvane switches it back off after charging."}};
                }
            }
        }
    }

    const bool charged = level < 1 ? percent > 0 : percent > levelPlus(level, 5);
    if (!plugged && quiet && out.lowPowerOwed && lowPowerOn && charged) {
        // Still owed until the mode is seen off after the gap: a switch that did not take is
        // asked for again then.
        asked = now;
        out.action = SwitchOff{};
    }
    return out;
}

}  // namespace norvane
