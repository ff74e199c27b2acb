#pragma once
// Which apps deserve the user's attention, and one line of advice for each.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/analysis/AppUsage.h"
#include "platform/Time.h"

namespace norvane {

// Since when each app has been heavy without a break. Owned by the model; starts empty.
//
// An app is heavy in a sample when its id is not empty (the "System" group never is),
// its impact is at least 10.0 and its share of the sample's total impact is at least
// 0.25 (with a total above 0).
struct Attention {
    std::map<std::string, Date> above;  // app id (bundle path) to the start of its heavy run

    // Ends the run of every app that is not heavy in this sample and starts one for every
    // heavy app that has none; a running one keeps its older date.
    void update(const std::vector<AppUsage>& apps, Date now);
    // Heavy without a break for at least 120 s.
    bool sustained(const AppUsage& app, Date now) const;

    bool operator==(const Attention&) const = default;
};

// One short line of advice for the app: from its share of the energy, its family (by a
// whole word of its name, case-insensitively), whether the user works in it and whether
// its load is sustained.
std::string advice(const AppUsage& app, double share, bool inUse, bool sustained);

// The heavy-app entry that the model builds for the panel and the tips.
struct HeavyApp {
    std::string path;  // the app id
    std::string name;
    double share = 0;  // 0...1
    bool inUse = false;
    bool sustained = false;
    std::string advice;
    std::optional<std::int64_t> gain;  // minutes, when a forecast exists
    bool early = false;                // the forecast's `early`
    bool operator==(const HeavyApp&) const = default;
};

}  // namespace norvane
