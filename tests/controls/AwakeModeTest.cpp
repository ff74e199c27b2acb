#include "app/controls/AwakeMode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>


namespace norvane {
namespace {

TEST(AwakeMode, StoredTextReadsBack) {
    for (const auto& mode : {AwakeMode::timer(30), AwakeMode::timer(-5), AwakeMode::timer(0),
                             AwakeMode::app("/Applications/Safari.app"), AwakeMode::app("/a:b"),
                             AwakeMode::untilStopped(), AwakeMode::agents()})
        EXPECT_EQ(AwakeMode::fromStored(mode.stored()), mode) << mode.stored();
    EXPECT_EQ(AwakeMode::timer(30).stored(), "timer:30");
    EXPECT_EQ(AwakeMode::untilStopped().stored(), "untilStopped");
}

TEST(AwakeMode, OddTextsReadAsTheNearestMode) {
    const std::vector<std::pair<std::optional<std::string>, AwakeMode>> cases = {
        {"timer:45", AwakeMode::timer(45)},
        {"timer:+7", AwakeMode::timer(7)},
        {"timer:abc", AwakeMode::timer(60)},
        {"timer:", AwakeMode::timer(60)},
        {"timer", AwakeMode::timer(60)},
        {"timer: 5", AwakeMode::timer(60)},
        {"timer:99999999999999999999", AwakeMode::timer(60)},
        {"timer::5", AwakeMode::timer(60)},
        {"app:", AwakeMode::untilStopped()},
        {"app", AwakeMode::untilStopped()},
        {"app::x", AwakeMode::app(":x")},
        {":app:/a:b", AwakeMode::app("/a:b")},
        {"agents:anything", AwakeMode::agents()},
        {":agents", AwakeMode::agents()},
        {"::agents", AwakeMode::agents()},
        {"Agents", AwakeMode::untilStopped()},
        {"sleep", AwakeMode::untilStopped()},
        {":::", AwakeMode::untilStopped()},
        {"", AwakeMode::untilStopped()},
        {std::nullopt, AwakeMode::untilStopped()},
    };
    for (const auto& [text, mode] : cases) EXPECT_EQ(AwakeMode::fromStored(text), mode) << text.value_or("(none)");
}

TEST(MinutesToFloor, ComesOnlyFromAPositiveDrainAboveTheFloor) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::int64_t percent, floor;
        std::optional<double> drain;
        std::optional<std::int64_t> expected;
    };
    for (const auto& c : std::vector<Case>{
             {50, 20, 12.0, 150},
             {30, 20, 7.0, 85},
             {50, 20, 0.0, std::nullopt},
             {50, 20, -3.0, std::nullopt},
             {50, 20, std::nullopt, std::nullopt},
             {20, 20, 5.0, std::nullopt},
             {10, 20, 5.0, std::nullopt},
             {50, 20, std::nan(""), std::nullopt},
             {50, 20, inf, 0},
             {100, 0, 1e-300, std::nullopt},  // beyond any whole number of minutes
             {100, 0, std::ldexp(1.0, -50), 6755399441055744000},
         })
        EXPECT_EQ(minutesToFloor(c.percent, c.floor, c.drain), c.expected) << c.percent << " " << c.drain.value_or(-1);
}

TEST(Countdown, WritesHoursMinutesAndSeconds) {
    for (const auto& [seconds, text] : std::vector<std::pair<std::int64_t, std::string>>{
             {3725, "1:02:05"}, {59, "0:00:59"}, {90000, "25:00:00"}, {0, "0:00:00"}, {-30, "0:00:00"}})
        EXPECT_EQ(countdown(seconds), text) << seconds;
}

}  // namespace
}  // namespace norvane
