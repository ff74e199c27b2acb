#pragma once
// The fast-drain notice: one app has held most of the energy for ten minutes while the
// battery drains much faster than usual.

#include <map>
#include <optional>
#include <string>

#include "app/analysis/Notice.h"
#include "platform/Time.h"

namespace norvane {

struct DrainWatch {
    // The heaviest app of the last sample.
    struct Top {
        std::string id;  // empty for "System"
        std::string name;
        double share = 0;  // 0...1
    };
    // The app at the top place: since when it has held it, and when it was last seen there.
    struct Held {
        std::string id;
        Date since;
        Date seen;
        bool operator==(const Held&) const = default;
    };

    std::optional<Held> held;
    std::map<std::string, Date> sent;  // app id to the time of its last notice

    // `drain` and `usual` are in percent per hour. A notice needs an app with a share of at
    // least 0.4 for 600 s (a gap of more than 120 s between sightings starts over), a drain
    // of at least 12 and one and a half times the usual, and no notice for that app in the
    // last three hours.
    std::optional<Notice> due(const std::optional<Top>& top, std::optional<double> drain, std::optional<double> usual,
                              bool plugged, Date now);

    bool operator==(const DrainWatch&) const = default;
};

// How many times the usual, to the nearest half: "one and a half times", "twice",
// "2.5 times", "3 times".
std::string multiple(double ratio);

}  // namespace norvane
