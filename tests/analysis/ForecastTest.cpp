#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "app/analysis/Forecast.h"

namespace norvane {
namespace {

const Date now{1'780'000'000};
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr auto none = std::nullopt;

// ---- liveDraw --------------------------------------------------------------------------

TEST(LiveDraw, OnBatteryTheNegatedCurrentOnWallPowerTheAdapterLessTheBatteryAndOnlyAbove0) {
    struct Case {
        std::optional<double> current, millivolts, watts;
        std::optional<std::int64_t> draw;
    };
    constexpr std::int64_t twoTo62 = std::int64_t{1} << 62;
    // In order: current and a voltage above 5000 mV are needed. Rounded half away from zero;
    // above 0 before rounding, so -0.4 stands; an adapter reading of 0 is the same as none.
    // 20 W at 12 V is 1666.67 mA, of which 500 mA charge the battery; 60 W at 12.5 V is 4800
    // mA while the battery also discharges by 200 mA. Not above 0: charging with no adapter
    // reading, exactly 0, below 0. Non-finite or huge figures; an infinite voltage is no
    // reading, though the formula would give a finite 1000 mA.
    const Case cases[] = {
        {none, 12'000, none, none},       {-1'000, none, none, none},      {none, none, 30, none},
        {-1'000, 5'000, none, none},      {-1'000, 0, none, none},         {-1'000, -12'000, none, none},
        {-1'000, 5'000.001, none, 1'000}, {-1'234.4, 12'000, none, 1'234}, {-1'234.5, 12'000, none, 1'235},
        {-1'234.6, 12'000, none, 1'235},  {-0.5, 12'000, none, 1},         {-0.4, 12'000, none, 0},
        {-1'234.4, 12'000, 0, 1'234},     {500, 12'000, 20, 1'167},        {-200, 12'500, 60, 5'000},
        {0, 12'000, none, none},          {100, 12'000, none, none},       {1'000, 12'000, 12, none},
        {1'000, 12'000, 6, none},         {nan, 12'000, none, none},       {-1'000, nan, none, none},
        {-1'000, 12'000, nan, none},      {-1'000, inf, none, none},       {-1'000, inf, 20, none},
        {-1'000, 12'000, inf, none},      {-inf, 12'000, none, none},      {-1e300, 12'000, none, none},
        {-1'000, 12'000, 1e300, none},    {-0x1p63, 12'000, none, none},   {-0x1p62, 12'000, none, twoTo62},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(liveDraw({c.current, c.millivolts, c.watts}), c.draw)
            << c.current.value_or(-1) << " mA " << c.millivolts.value_or(-1) << " mV " << c.watts.value_or(-1) << " W";
    }
}

// ---- averageDraw -----------------------------------------------------------------------

// Draws `step` seconds apart, the last one now, oldest first.
std::vector<Draw> drawsOf(const std::vector<std::int64_t>& milliamps, double step = 5) {
    std::vector<Draw> draws;
    for (std::size_t i = 0; i < milliamps.size(); ++i)
        draws.push_back({now - step * static_cast<double>(milliamps.size() - 1 - i), milliamps[i]});
    return draws;
}

TEST(AverageDraw, TheMeanOfAtLeastFourDrawsAtMost900SecondsOldSettledFrom120SecondsAndAbove0) {
    // 900 mA at these ages, oldest first.
    const auto aged = [](std::vector<double> ages) {
        std::vector<Draw> draws;
        for (const double age : ages)
            draws.push_back({now - age, 900});
        return draws;
    };
    const std::pair<std::vector<Draw>, std::optional<AverageDraw>> cases[] = {
        {{}, none},
        {drawsOf({1'000, 1'000, 1'000}), none},
        {drawsOf({1'000, 1'001, 1'002, 1'003}), AverageDraw{1'001.5, false}},
        // Draws older than the window do not make up the four, nor go into the mean; one
        // exactly at its edge counts.
        {{{now - 901, 1'000}, {now - 10, 1'000}, {now - 5, 1'000}, {now, 1'000}}, none},
        {{{now - 900.5, 100'000}, {now - 900, 2'000}, {now - 600, 2'000}, {now - 300, 2'000}, {now, 2'000}},
         AverageDraw{2'000, true}},
        {{{now - 900, 4'000}, {now - 10, 0}, {now - 5, 0}, {now, 0}}, AverageDraw{1'000, true}},
        {{{now - 900.001, 4'000}, {now - 10, 0}, {now - 5, 0}, {now, 0}}, none},
        // Settled once the oldest kept draw is 120 s old; one beyond the window settles nothing.
        {aged({15, 10, 5, 0}), AverageDraw{900, false}},
        {aged({119.9, 10, 5, 0}), AverageDraw{900, false}},
        {aged({120, 10, 5, 0}), AverageDraw{900, true}},
        {aged({1'000, 119, 10, 5, 0}), AverageDraw{900, false}},
        // A mean of 0 or below is none; a few negative draws are fine while it stays above 0.
        {drawsOf({0, 0, 0, 0}), none},
        {drawsOf({-100, 50, 25, 25}), none},
        {drawsOf({-5, -5, -5, -5}), none},
        {drawsOf({-100, 50, 25, 26}), AverageDraw{0.25, false}},
        // A sum beyond the integer range or an odd time gives no trouble.
        {drawsOf({int64Max, int64Max, 1, 1}), none},
        {{{now - 15, 1'000}, {now - 10, 1'000}, {now - 5, 1'000}, {now, 1'000}, {Date{nan}, 5'000}},
         AverageDraw{1'000, false}},
    };
    for (const auto& [draws, average] : cases)
        EXPECT_EQ(averageDraw(draws, now), average) << ::testing::PrintToString(draws);
}

// ---- makeForecast ----------------------------------------------------------------------

Battery battery(std::int64_t percent, std::int64_t rawMax, bool plugged, std::optional<std::int64_t> system) {
    Battery b;
    b.percent = percent;
    b.rawMax = rawMax;
    b.plugged = plugged;
    b.systemMinutes = system;
    return b;
}

TEST(MakeForecast, OnBatteryTheChargeOverTheAverageDrawEarlyUntilItSettlesOtherwiseTheSystemsOwnEstimate) {
    const auto settled = drawsOf({1'000, 1'000, 1'000, 1'000}, 60);
    auto early = drawsOf({1'000, 1'000, 1'000, 1'000});
    auto justSettled = early;
    justSettled.front().time = now - 120;
    const auto tiny = drawsOf({1, 1, 1, 1}, 60);
    const auto estimate = [](std::int64_t minutes) { return std::optional(Forecast{minutes, false, false}); };
    // 100 % of 5000 mAh at 1000 mA is 300 minutes; 50 % of 4000 mAh at 1300 mA is 92.3,
    // truncated. Otherwise: without an average (too few draws, a mean not above 0), without a
    // charge figure, on wall power, or with minutes beyond the integer range (an absurd
    // battery reading: the quotient is not converted). Without the system's estimate there
    // is none.
    const std::tuple<Battery, std::vector<Draw>, std::optional<Forecast>> cases[] = {
        {battery(100, 5'000, false, 999), settled, Forecast{300, true, false}},
        {battery(50, 4'000, false, {}), drawsOf({1'300, 1'300, 1'300, 1'300}, 60), Forecast{92, true, false}},
        {battery(100, 5'000, false, {}), early, Forecast{300, true, true}},
        {battery(100, 5'000, false, {}), justSettled, Forecast{300, true, false}},
        {battery(80, 5'000, false, 240), {}, estimate(240)},
        {battery(80, 5'000, false, 240), drawsOf({1'000, 1'000, 1'000}), estimate(240)},
        {battery(80, 5'000, false, 240), drawsOf({0, 0, 0, 0}), estimate(240)},
        {battery(80, 5'000, false, 240), drawsOf({-1'000, -1'000, -1'000, -1'000}), estimate(240)},
        {battery(80, 5'000, false, {}), {}, std::nullopt},
        {battery(80, 0, false, 45), settled, estimate(45)},
        {battery(0, 5'000, false, 45), settled, estimate(45)},
        {battery(-5, 5'000, false, 45), settled, estimate(45)},
        {battery(0, 5'000, false, {}), settled, std::nullopt},
        {battery(60, 5'000, true, 90), settled, estimate(90)},
        {battery(60, 5'000, true, {}), settled, std::nullopt},
        {battery(int64Max, int64Max, false, 30), tiny, estimate(30)},
        {battery(int64Max, int64Max, false, {}), tiny, std::nullopt},
    };
    for (const auto& [b, draws, expected] : cases)
        EXPECT_EQ(makeForecast(b, draws, now), expected) << b.percent << "% of " << b.rawMax << " " << b.plugged;
}

// ---- usualDrain ------------------------------------------------------------------------

// Samples every `step` seconds from `start`, one per percent, on battery.
std::vector<Sample> falling(Date start, double step, const std::vector<std::int64_t>& percents) {
    std::vector<Sample> samples;
    for (std::size_t i = 0; i < percents.size(); ++i)
        samples.push_back({start + step * static_cast<double>(i), percents[i], false, false});
    return samples;
}

// Two hours of pairs 60 s apart (121 samples), falling from 90 % by `drop` percent in all.
std::vector<Sample> twoHours(Date start, std::int64_t drop) {
    std::vector<std::int64_t> percents;
    for (int i = 0; i <= 120; ++i)
        percents.push_back(90 - (drop * i) / 120);
    return falling(start, 60, percents);
}

TEST(UsualDrain, PercentPerHourOverTwoHoursOrMoreOfPairsForwardInTime) {
    auto samples = twoHours(now - 7'200, 10);
    EXPECT_EQ(usualDrain(samples, now), 5);
    // Only the first sample of a pair is tested against the window: later ones beyond now count.
    EXPECT_EQ(usualDrain(twoHours(now, 10), now), 5);
    // Pairs that are not forward in time add nothing.
    auto still = samples;
    still.push_back({still.back().time, 0, false, false});       // dt = 0
    still.push_back({still.back().time - 60, 0, false, false});  // backwards
    EXPECT_EQ(usualDrain(still, now), 5);
    samples.pop_back();  // 7140 s
    EXPECT_FALSE(usualDrain(samples, now));
    EXPECT_FALSE(usualDrain({}, now));
    EXPECT_FALSE(usualDrain({{now, 50, false, false}}, now));
}

TEST(UsualDrain, PairsMoreThan150SecondsApartAddNothing) {
    // 48 pairs 150 s apart make exactly 2 hours.
    std::vector<std::int64_t> percents;
    for (int i = 0; i <= 48; ++i)
        percents.push_back(100 - i / 4);
    auto samples = falling(now - 7'200, 150, percents);
    EXPECT_DOUBLE_EQ(*usualDrain(samples, now), 6);  // 12 % in 2 hours
    // A gap of 151 s between two of them takes its pair out, and with it 150 s.
    for (std::size_t i = 10; i < samples.size(); ++i)
        samples[i].time = samples[i].time + 1;
    EXPECT_FALSE(usualDrain(samples, now));
    // A 151-s gap in a longer history adds neither time nor drop.
    auto longer = twoHours(now - 10'000, 10);
    const auto before = *usualDrain(longer, now);
    longer.push_back({longer.back().time + 151, 10, false, false});
    EXPECT_DOUBLE_EQ(*usualDrain(longer, now), before);
}

TEST(UsualDrain, PluggedOrChargingPairsAreSkipped) {
    const auto base = twoHours(now - 7'200, 10);
    for (const auto mark : {+[](Sample& s) { s.plugged = true; }, +[](Sample& s) { s.charging = true; }}) {
        // Either sample of a pair being plugged or charging drops the pair.
        auto first = base;
        mark(first.front());  // takes out one pair
        EXPECT_FALSE(usualDrain(first, now));
        auto last = base;
        mark(last.back());
        EXPECT_FALSE(usualDrain(last, now));
        // A plugged stretch in a longer history does not count its drop.
        auto longer = base;
        for (auto s : falling(base.back().time + 60, 60, {80, 70, 60, 50})) {
            mark(s);
            longer.push_back(s);
        }
        EXPECT_DOUBLE_EQ(*usualDrain(longer, now + 300), 5);
    }
}

TEST(UsualDrain, ARiseAddsTimeButNoDrop) {
    // Two hours of pairs 60 s apart: the first pair moves by 10 %, the rest stay flat.
    const auto history = [](std::int64_t first, std::int64_t second, std::int64_t rest) {
        std::vector<std::int64_t> percents = {first, second};
        percents.resize(121, rest);
        return falling(now - 7'200, 60, percents);
    };
    EXPECT_DOUBLE_EQ(*usualDrain(history(60, 50, 50), now), 5);  // a fall of 10 % in 2 hours
    EXPECT_DOUBLE_EQ(*usualDrain(history(50, 60, 60), now), 0);  // a rise: time, but no drop
    // A rise and the fall back: only the fall counts, the rise takes nothing off it.
    EXPECT_DOUBLE_EQ(*usualDrain(history(50, 60, 50), now), 5);
}

TEST(UsualDrain, OnlyTheLastSevenDaysCount) {
    constexpr double week = 604'800;
    // A week of history, a sample a minute, falling 1 % an hour when not plugged.
    std::vector<Sample> samples;
    for (int i = 0; i <= 7 * 24 * 60; ++i)
        samples.push_back({now - week + 60.0 * i, 100 - (i / 60) % 100, false, false});
    const auto drain = usualDrain(samples, now);
    ASSERT_TRUE(drain);
    // 168 hours of pairs, 168 drops of 1 % less the 100 → 1 wrap-arounds that rise instead.
    EXPECT_NEAR(*drain, (168.0 - 1) / 168, 1e-9);
    // Older history that drains fast does not count: its pairs start more than a week ago.
    std::vector<Sample> older = falling(now - week - 7'200, 60, std::vector<std::int64_t>(120, 0));
    for (std::size_t i = 0; i < older.size(); ++i)
        older[i].percent = 100 - static_cast<std::int64_t>(i) / 2;
    older.insert(older.end(), samples.begin(), samples.end());
    EXPECT_NEAR(*usualDrain(older, now), *drain, 1e-6);
    // The pair whose first sample is exactly 7 days old counts; one a second older does not.
    const std::vector<Sample> edge = twoHours(now - week, 10);
    EXPECT_DOUBLE_EQ(*usualDrain(edge, now), 5);
    EXPECT_FALSE(usualDrain(edge, now + 1));  // the first pair falls out, leaving 7140 s
}

// ---- gainMinutes -----------------------------------------------------------------------

template <class F>
concept GainTakesForecast = requires(F forecast) {
    gainMinutes(forecast, 0.5);
};
static_assert(GainTakesForecast<std::int64_t>);
static_assert(GainTakesForecast<int>);
static_assert(!GainTakesForecast<double>, "a real forecast must not convert silently to minutes");
static_assert(!GainTakesForecast<float>);
static_assert(std::is_same_v<decltype(gainMinutes(std::int64_t{100}, 0.5)), std::int64_t>);
static_assert(std::is_same_v<decltype(gainMinutes(3'000.0, 1'000.0, 800.0)), std::int64_t>);

TEST(GainByShare, HalfTheShareOfTheForecastTruncatedTowardZero) {
    const std::tuple<std::int64_t, double, std::int64_t> cases[] = {
        {100, 0.5, 33},   // s = 0.25: 25 / 0.75
        {100, 1.0, 100},  // s = 0.5 gives the forecast again
        {100, 3.0, 100},  // shares above 1 count as 1
        {100, inf, 100},
        {7, 0.3, 1},     // 1.05 / 0.85 = 1.24
        {240, 0.1, 12},  // 12 / 0.95 = 12.6
        {-100, 0.5, -33},
        {0, 0.5, 0},
        // int64 max becomes 2^63 as a double, one past the range: it is not converted.
        {int64Max, 1.0, 0},
    };
    for (const auto& [forecast, share, gain] : cases)
        EXPECT_EQ(gainMinutes(forecast, share), gain) << forecast << " " << share;
    for (const double share : {0.0, -0.5, -inf, nan})  // no share, no gain
        EXPECT_EQ(gainMinutes(100, share), 0) << share;
    EXPECT_EQ(gainMinutes(300, 0.5), 100);  // an int literal still picks this overload
    // 2^63 / 3 is in range and converts.
    EXPECT_NEAR(static_cast<double>(gainMinutes(int64Max, 0.5)), 0x1p63 / 3, 1e4);
}

TEST(MeasuredGain, TheDifferenceInMinutesOfTheRemainingChargeWhenBothDrawsAreAbove0) {
    const std::tuple<double, double, double, std::int64_t> cases[] = {
        {3'000, 1'000, 800, 45},   // 3.75 h - 3 h
        {3'000, 800, 1'000, -45},  // the draw rose: a loss
        {3'000, 1'000, 1'000, 0},
        {0.25, 2, 1, 8},   // 7.5, half away from zero
        {0.25, 1, 2, -8},  // -7.5
        {0.2, 2, 1, 6},    // 6.0000000000000001 or so
        // Non-finite or huge results are no gain.
        {nan, 1'000, 800, 0},
        {inf, 1'000, 800, 0},       // inf - inf
        {3'000, 1'000, 1e-300, 0},  // beyond the integer range
        {3'000, inf, 800, 225},     // nothing left of the before term
    };
    for (const auto& [charge, before, after, gain] : cases)
        EXPECT_EQ(gainMinutes(charge, before, after), gain) << charge << " " << before << " " << after;
    // A draw not above 0 is no gain.
    const std::pair<double, double> draws[] = {{0, 800},      {1'000, 0}, {-1'000, 800},
                                               {1'000, -800}, {nan, 800}, {1'000, nan}};
    for (const auto& [before, after] : draws)
        EXPECT_EQ(gainMinutes(3'000, before, after), 0) << before << " " << after;
}

}  // namespace
}  // namespace norvane
