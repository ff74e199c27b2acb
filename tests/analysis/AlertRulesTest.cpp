#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

#include "app/analysis/AlertRules.h"
#include "app/analysis/LevelAlerts.h"

namespace norvane {
namespace {

// One tick: plugged, percent, the forecast's minutes, the alerts due.
struct Pass {
    bool plugged;
    std::int64_t percent;
    std::optional<std::int64_t> minutes;
    std::vector<Alert> due;
};

void run(std::int64_t limit, const std::vector<Pass>& passes) {
    AlertRules rules;
    for (std::size_t i = 0; i < passes.size(); ++i) {
        Battery battery;
        battery.plugged = passes[i].plugged;
        battery.percent = passes[i].percent;
        std::optional<Forecast> forecast;
        if (passes[i].minutes) forecast = Forecast{*passes[i].minutes, true, false};
        EXPECT_EQ(rules.due(battery, forecast, limit), passes[i].due) << "pass " << i;
    }
}

TEST(AlertRules, EachFiresOncePerCrossingAndRearmsAfterAClearMoveBack) {
    // Low time: under 30 minutes, again after 45 or wall power.
    run(100, {{false, 50, 35, {}}, {false, 50, 29, {alert::Low{29}}}, {false, 50, 20, {}}, {false, 50, 40, {}},
              {false, 50, 29, {}}, {false, 50, {}, {}}, {false, 50, 45, {}}, {false, 50, 29, {alert::Low{29}}},
              {true, 50, 29, {}}, {false, 50, 10, {alert::Low{10}}}, {true, 100, {}, {}}});
    // The limit (not the percent): again 5 points under it or after time on battery.
    run(80, {{true, 80, {}, {alert::Limit{80}}}, {true, 78, {}, {}}, {true, 82, {}, {}}, {true, 75, {}, {}},
             {true, 83, {}, {alert::Limit{80}}}, {false, 83, 300, {}}, {true, 81, {}, {alert::Limit{80}}}});
    EXPECT_EQ(title(alert::Low{25}), "About 25m of battery left");
    EXPECT_EQ(title(alert::Low{65}), "About 1h 05m of battery left");
    EXPECT_EQ(title(alert::Limit{80}), "Charged to your 80% limit");
}

// One call: percent, plugged, low and high levels, the notices given.
struct LevelPass {
    std::int64_t percent;
    bool plugged;
    std::optional<std::int64_t> low, high;
    std::vector<Notice> notices;
};

void run(const std::vector<LevelPass>& passes) {
    LevelAlerts alerts;
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const LevelPass& p = passes[i];
        EXPECT_EQ(alerts.due(p.percent, p.plugged, p.low, p.high), p.notices) << "pass " << i;
    }
}

Notice low(int percent) { return {"Battery at " + std::to_string(percent) + "%", "Time to plug in."}; }
Notice high(int percent) { return {"Charged to " + std::to_string(percent) + "%", "You can unplug now."}; }

TEST(LevelAlerts, LowAndHighFireOncePerCrossingAndRearmOnAClearMoveBackOrTheOtherPowerSource) {
    run({{20, false, 20, {}, {low(20)}}, {19, false, 20, {}, {}}, {24, false, 20, {}, {}}, {20, false, 20, {}, {}},
         {25, false, 20, {}, {}}, {20, false, 20, {}, {low(20)}}, {20, true, 20, {}, {}},
         {20, false, 20, {}, {low(20)}}});
    run({{10, false, 20, {}, {low(10)}}, {10, false, {}, {}, {}}});
    run({{85, true, {}, 80, {high(85)}}, {90, true, {}, 80, {}}, {76, true, {}, 80, {}}, {75, true, {}, 80, {}},
         {85, true, {}, 80, {high(85)}}, {85, false, {}, 80, {}}, {85, true, 20, 80, {high(85)}},
         {15, false, 20, 80, {low(15)}}});
}

TEST(LevelAlerts, ChangingALevelResynchronisesSilently) {
    // Raised over the percent: marked sent, so 24 % stays quiet until 35 % re-arms it.
    run({{25, false, 20, {}, {}}, {25, false, 30, {}, {}}, {24, false, 30, {}, {}}, {35, false, 30, {}, {}},
         {30, false, 30, {}, {low(30)}}});
    // Lowered under the percent after firing: armed; switched off and on again where it stands.
    run({{20, false, 20, {}, {low(20)}}, {20, false, 10, {}, {}}, {10, false, 10, {}, {low(10)}},
         {10, false, {}, {}, {}}, {10, false, 10, {}, {}}});
    run({{85, true, {}, 90, {}}, {85, true, {}, 80, {}}, {75, true, {}, 80, {}}, {80, true, {}, 80, {high(80)}}});
    // Levels stored at the integer's ends do not overflow.
    constexpr auto top = std::numeric_limits<std::int64_t>::max();
    constexpr auto bottom = std::numeric_limits<std::int64_t>::min();
    run({{50, false, top, bottom, {low(50)}}, {50, true, top, bottom, {high(50)}}});
}

}  // namespace
}  // namespace norvane
