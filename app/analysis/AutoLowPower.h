#pragma once
// Low Power Mode by itself: on when the battery falls to the user's level, off again once
// the battery has been charged above it.

#include <cstdint>
#include <optional>
#include <variant>

#include "app/analysis/Notice.h"
#include "platform/Time.h"

namespace norvane {

struct AutoLowPower {
    // Ask the system to switch Low Power Mode on, and tell the user.
    struct SwitchOn {
        Notice notice;
        bool operator==(const SwitchOn&) const = default;
    };
    // Ask the system to switch Low Power Mode off.
    struct SwitchOff {
        bool operator==(const SwitchOff&) const = default;
    };
    using Action = std::variant<std::monostate, SwitchOn, SwitchOff>;

    struct Step {
        Action action;
        bool lowPowerOwed = false;  // the model's flag after this pass
        bool operator==(const Step&) const = default;
    };

    bool armed = true;          // a fall to the level may switch the mode on
    bool owned = false;         // the app switched it on, and so may switch it off
    std::optional<Date> asked;  // the last switch the app asked for; none: never

    // One rules pass on a battery reading. `level` is the user's level in percent (below 1:
    // off); `lowPowerOn` the battery's Low Power setting (on the adapter the mode in use is
    // the charger's, so the caller reads the battery's own); `lowPowerOwed` the model's flag
    // that it switched the mode on and still has to switch it off. No switch is asked for
    // within 30 s of the last one, and a mode seen off after that while owed is no longer
    // owed, on battery or on wall power: the user turned it off (or it never came on), so the
    // app must not turn off a Low Power Mode that the user switches on later. Switching off keeps the flag until the
    // mode is seen off, so a switch that failed is asked for again after the gap; the model
    // tells the user of a switch on only once the mode reads on.
    Step step(std::int64_t level, std::int64_t percent, bool plugged, bool lowPowerOn, Date now, bool lowPowerOwed);

    bool operator==(const AutoLowPower&) const = default;
};

}  // namespace norvane
