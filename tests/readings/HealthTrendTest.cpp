#include <gtest/gtest.h>

#include <filesystem>

#include "app/analysis/AppLedger.h"
#include "app/readings/HealthTrend.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempFolder;

// Berlin has a clock change on the last Sunday of March (29 March 2026).
const Calendar berlin("Europe/Berlin");
Date noon(int year, int month, int day) { return *berlin.date(year, month, day, 12); }
Date midnight(int year, int month, int day) { return *berlin.date(year, month, day); }

HealthTrend trend(std::vector<HealthPoint> points) { return HealthTrend{std::move(points)}; }

class HealthFile : public ::testing::Test {
protected:
    TempFolder dir;
    Path url = dir / "Norvane/health.json";
    Path aside = dir / "Norvane/health.json.unreadable-1";
};

TEST_F(HealthFile, SavesACompactArrayWithItsKeysInOrderAndNoAbsentHealth) {
    const auto saved = trend({{"2026-03-07", 4100, 93, 210}, {"2026-03-08", 4090, std::nullopt, 211}});
    ASSERT_TRUE(saved.save(url));
    EXPECT_EQ(readFile(url), R"([{"day":"2026-03-07","capacity":4100,"health":93,"cycles":210},)"
                             R"({"day":"2026-03-08","capacity":4090,"cycles":211}])");
    EXPECT_EQ(HealthTrend::load(url), saved);
    ASSERT_TRUE(HealthTrend{}.save(url));
    EXPECT_EQ(readFile(url), "[]");
}

TEST_F(HealthFile, LoadsAnyKeyOrderDropsEmptyCapacitiesAndSortsStably) {
    dir.write("Norvane/health.json", R"([
      {"cycles": 3, "capacity": 4000.0, "day": "2026-03-09", "health": null},
      {"day": "2026-03-07", "capacity": 0, "cycles": 1},
      {"day": "2026-03-08", "capacity": 4200, "cycles": 2, "health": 95, "note": "kept apart"},
      {"day": "2026-03-06", "capacity": -5, "cycles": 1},
      {"day": "2026-03-08", "capacity": 4100, "cycles": 9}
    ])");
    EXPECT_EQ(HealthTrend::load(url), trend({{"2026-03-08", 4200, 95, 2},
                                             {"2026-03-08", 4100, std::nullopt, 9},
                                             {"2026-03-09", 4000, std::nullopt, 3}}));
    EXPECT_FALSE(fileExists(aside));
}

TEST_F(HealthFile, AnUndecodableFileIsMovedAsideBeforeTheNextSave) {
    for (const char* text : {
             "",
             "{}",
             R"([{"day": "2026-03-07", "cycles": 1}])",
             R"([{"day": 20260307, "capacity": 4000, "cycles": 1}])",
             R"([{"day": "2026-03-07", "capacity": 4000.5, "cycles": 1}])",
             R"([{"day": "2026-03-07", "capacity": 1e30, "cycles": 1}])",
             R"([{"day": "2026-03-07", "capacity": 4000, "cycles": 1, "health": "95"}])",
             // One good point does not rescue the file.
             R"([{"day": "2026-03-07", "capacity": 4000, "cycles": 1}, {"day": "2026-03-08"}])",
         }) {
        SCOPED_TRACE(text);
        dir.write("Norvane/health.json", text);
        HealthTrend loaded = HealthTrend::load(url);
        EXPECT_TRUE(loaded.points.empty());
        EXPECT_FALSE(fileExists(url));
        loaded.record(4000, 90, 5, noon(2026, 3, 9), berlin);
        ASSERT_TRUE(loaded.save(url));
        EXPECT_EQ(readFile(aside), std::string(text));
        std::filesystem::remove(aside);
    }
    // A missing file is an empty record and nothing is moved.
    std::filesystem::remove(url);
    EXPECT_TRUE(HealthTrend::load(url).points.empty());
    EXPECT_FALSE(fileExists(aside));
}

TEST(HealthRecord, KeepsOnePointADayAndThreeYears) {
    HealthTrend t = trend({{"2023-03-07", 4600, 99, 10}, {"2023-03-08", 4590, 99, 11}, {"2026-01-01", 4300, 94, 300}});
    t.record(4200, 92, 320, noon(2026, 3, 8), berlin);
    t.record(4210, std::nullopt, 321, noon(2026, 3, 8) + 3600, berlin);  // the same day again
    // The cutoff day itself (three calendar years back) stays.
    EXPECT_EQ(t, trend({{"2023-03-08", 4590, 99, 11}, {"2026-01-01", 4300, 94, 300}, {"2026-03-08", 4210, std::nullopt, 321}}));

    // Three years before 29 February is 28 February.
    HealthTrend leap = trend({{"2025-02-27", 1, 1, 1}, {"2025-02-28", 2, 2, 2}});
    leap.record(3, 3, 3, noon(2028, 2, 29), berlin);
    EXPECT_EQ(leap.points.front().day, "2025-02-28");

    // The day follows the zone: half past midnight in Berlin is already the new year.
    HealthTrend year;
    year.record(4000, 90, 1, *berlin.date(2026, 12, 31, 23, 30), berlin);
    year.record(4001, 90, 2, *berlin.date(2027, 1, 1, 0, 30), berlin);
    EXPECT_EQ(year, trend({{"2026-12-31", 4000, 90, 1}, {"2027-01-01", 4001, 90, 2}}));
}

TEST(HealthMonthly, AveragesEachMonthOldestFirst) {
    const HealthTrend t = trend({{"2026-10-31", 4800, 96, 100},
                                 {"2026-12-02", 4000, 80, 120},
                                 {"2026-12-20", 4200, 84, 125},
                                 {"2027-01-05", 3900, 78, 130},
                                 {"2027-02-01", 1, 1, 999}});  // after now: a later month, not shown
    const auto months = t.monthly(3, noon(2027, 1, 15), 5000, berlin);
    ASSERT_EQ(months.size(), 3u);
    EXPECT_FALSE(months[0]);  // November: no points
    EXPECT_EQ(months[1], (HealthMonth{midnight(2026, 12, 1), 82.0, 125}));
    EXPECT_EQ(months[2], (HealthMonth{midnight(2027, 1, 1), 78.0, 130}));

    const auto year = t.monthly(12, noon(2026, 12, 10), 5000, berlin);
    ASSERT_EQ(year.size(), 12u);
    EXPECT_EQ(std::count(year.begin(), year.end(), std::nullopt), 10);
    EXPECT_EQ(year[9]->month, midnight(2026, 10, 1));

    EXPECT_TRUE(t.monthly(0, noon(2027, 1, 15), 5000, berlin).empty());
    EXPECT_TRUE(t.monthly(-3, noon(2027, 1, 15), 5000, berlin).empty());
    EXPECT_EQ(t.monthly(4, noon(2027, 1, 15), 0, berlin), std::vector<std::optional<HealthMonth>>(4));

    // Months start at local midnight on both sides of a clock change.
    const auto spring = trend({{"2026-03-10", 4000, 80, 1}, {"2026-04-10", 4000, 80, 2}}).monthly(2, noon(2026, 4, 20), 4000, berlin);
    EXPECT_EQ(spring[1]->month - spring[0]->month, 31 * 86'400.0 - 3600);
    EXPECT_EQ(spring[1]->month, midnight(2026, 4, 1));
}

TEST(HealthChange, NeedsThirtyCalendarDays) {
    // 1 to 31 March spans the clock change: 30 calendar days, though an hour short of 30 × 24 hours.
    const auto change = [](const char* lastDay) {
        return trend({{"2026-03-01", 5000, 100, 10}, {lastDay, 4900, 98, 25}}).change(noon(2026, 4, 1), 5000, berlin);
    };
    EXPECT_FALSE(change("2026-03-30"));
    EXPECT_EQ(change("2026-03-31"), (HealthChange{-2, midnight(2026, 3, 1), 15}));
    // Across the year's end.
    EXPECT_TRUE(trend({{"2026-12-15", 5000, 100, 1}, {"2027-01-14", 5000, 100, 1}}).change(noon(2027, 1, 14), 5000, berlin));
    EXPECT_FALSE(trend({{"2026-12-15", 5000, 100, 1}, {"2027-01-13", 5000, 100, 1}}).change(noon(2027, 1, 14), 5000, berlin));
}

TEST(HealthChange, ComparesTheFirstAndLastPointsUpToSeven) {
    struct Case {
        std::vector<HealthPoint> points;
        std::int64_t design;
        std::optional<std::int64_t> change;
    };
    auto days = [](std::vector<std::int64_t> capacities) {
        std::vector<HealthPoint> out;
        for (std::size_t i = 0; i < capacities.size(); ++i) {
            const int i30 = static_cast<int>(i) * 30;  // a month apart
            out.push_back({AppLedger::day(*berlin.addingDays(midnight(2025, 1, 1), i30), berlin), capacities[i],
                           std::nullopt, static_cast<std::int64_t>(i)});
        }
        return out;
    };
    for (const Case& c : {
             Case{days({5000, 1, 4000}), 5000, -20},  // three points: the first and the last alone
             Case{days({5000, 5000, 4000, 4000}), 5000, -20},
             // Of sixteen points, seven a side are averaged: the eighth is in neither.
             Case{days({5000, 5000, 5000, 5000, 5000, 5000, 5000, 1, 5000, 5000, 5000, 5000, 5000, 5000, 5000, 5000}), 5000, 0},
             Case{days({5000, 5000, 5000, 5000, 5000, 5000, 1, 5000, 5000, 5000, 5000, 5000, 5000, 5000, 5000, 5000}), 5000, 14},
             Case{days({4000, 3975}), 5000, -1},  // -0.5 rounds away from zero
             Case{days({4000, 4025}), 5000, 1},
             Case{days({4000, 4000}), 0, std::nullopt},
             Case{{}, 5000, std::nullopt},
             Case{{{"2026-1", 4000, 1, 1}, {"2026-03-01", 4000, 1, 1}}, 5000, std::nullopt},  // not a day
             Case{{{"2026-01-x-01", 4000, 1, 1}, {"2026-03-01", 4000, 1, 1}}, 5000, 0},
             Case{{{"2026-01-99999999999", 4000, 1, 1}, {"2026-03-01", 4000, 1, 1}}, 5000, std::nullopt},
         }) {
        const auto change = trend(c.points).change(noon(2026, 12, 1) + 86'400 * 365, c.design, berlin);
        EXPECT_EQ(change ? std::optional(change->points) : std::nullopt, c.change) << c.points.size() << " points";
    }
    // Points after today are left out; cycles count from the first point to the last.
    const auto later = trend({{"2026-01-01", 5000, 1, 100}, {"2026-03-01", 4500, 1, 150}, {"2026-12-02", 1, 1, 999}})
                           .change(noon(2026, 12, 1), 5000, berlin);
    EXPECT_EQ(later, (HealthChange{-10, midnight(2026, 1, 1), 50}));
    // A new battery starts its count again: no cycles are counted since the first point then.
    const std::int64_t counts[][3] = {{100, 150, 50}, {100, 100, 0}, {1000, 103, 0}, {3, 0, 0}, {0, -5, 0}};
    for (const auto& [first, last, cycles] : counts) {
        const auto change = trend({{"2026-01-01", 5000, 1, first}, {"2026-03-01", 5000, 1, last}})
                                .change(noon(2026, 12, 1), 5000, berlin);
        EXPECT_EQ(change ? std::optional(change->cycles) : std::nullopt, cycles) << first << " to " << last;
    }
    // Absurd figures from a damaged file give no change rather than an overflow.
    EXPECT_FALSE(trend({{"2026-01-01", 1, 1, INT64_MIN}, {"2026-03-01", 1, 1, INT64_MAX}}).change(noon(2026, 12, 1), 1, berlin));
    EXPECT_FALSE(trend({{"2026-01-01", 1, 1, 1}, {"2026-03-01", INT64_MAX, 1, 1}}).change(noon(2026, 12, 1), 1, berlin));
}

TEST(HealthDemo, AYearOfSlowAgeing) {
    const Date now = noon(2026, 12, 8);
    const HealthTrend demo = HealthTrend::demo(now, 5000, berlin);
    ASSERT_EQ(demo.points.size(), 365u);
    EXPECT_EQ(demo.points.front(), (HealthPoint{"2025-12-09", demo.points.front().capacity, 97, 180}));
    EXPECT_EQ(demo.points.back(), (HealthPoint{"2026-12-08", demo.points.back().capacity, 93, 320}));
    for (const auto& point : demo.points) EXPECT_NEAR(point.capacity, 4750, 5000 * 0.026);
    EXPECT_LT(demo.change(now, 5000, berlin)->points, 0);
    EXPECT_TRUE(HealthTrend::demo(now, 0, berlin).points.empty());
}

}  // namespace
}  // namespace norvane
