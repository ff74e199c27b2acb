#include "app/panel/AppsCard.h"
#include "app/panel/HistoryCard.h"
#include "app/panel/SleepCard.h"

#include <algorithm>
#include <limits>

#include "app/visuals/ChargeTone.h"
#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using testing::titles;
using StatsCards = testing::PanelBench;
constexpr double hour = 3600, day = 86'400;

TEST_F(StatsCards, TheStatsPageStartsFromItsLaunchFlags) {
    const std::tuple<std::vector<std::string>, AppPeriod, AppMetric> rows[] = {
        {{}, AppPeriod::now, AppMetric::share},
        {{"--apps-today", "--apps-per-hour"}, AppPeriod::today, AppMetric::perHour},
        {{"--apps-today=1", "--apps-per-hour "}, AppPeriod::now, AppMetric::share},  // whole arguments only
    };
    for (const auto& [arguments, period, metric] : rows) {
        const StatsTab tab = StatsTab::make(arguments);
        EXPECT_EQ(std::tuple(tab.period, tab.metric, tab.span, tab.slider, tab.dragging),
                  std::tuple(period, metric, Span::hours, 100.0, false));
    }
}

TEST_F(StatsCards, SleepRowsNewestFirstWithTheirOwnWording) {
    const DateFormatter format("en_US", "UTC");
    EXPECT_EQ(SleepCard::make({}, accent, format), SleepCard{});  // the empty note, no drain

    const Date now = bench.queue.now();  // Tuesday 10:00
    // Seven nights, the oldest first: start, minutes, before, after, on battery, wakes, reasons.
    const auto night = [&](int daysAgo, double minutes, std::int64_t before, std::int64_t after, bool battery,
                           std::int64_t wakes, std::map<std::string, std::int64_t> reasons) {
        const Date start = now - daysAgo * day - 8 * hour;
        return SleepStretch{start, start + minutes * 60, before, after, battery, wakes, std::move(reasons)};
    };
    const std::vector<SleepStretch> sleeps{
        night(6, 480, 80, 76, true, 0, {}),
        night(5, 480, 76, 74, true, 1, {}),
        night(4, 480, 80, 80, false, 3, {{"scheduled maintenance", 3}}),
        night(3, 480, 50, 52, true, 1, {{"Wi-Fi or Bluetooth", 1}}),
        night(2, 480, 90, 82, true, 4, {{"scheduled maintenance", 2}, {"notifications", 2}, {"lid", 1}}),
        night(1, 0.5, 70, 68, true, 0, {}),
        night(0, 480, 60, 56, true, 0, {}),
    };
    const SleepCard card = SleepCard::make(sleeps, accent, format);
    // 20 % lost over 40 hours on battery: the two oldest count, the half minute adds no time.
    EXPECT_EQ(card.drain, "0.5% an hour on battery");
    struct Row {
        std::string loss;
        std::string wakes;
        DotBar bar;
    };
    const std::vector<Row> expected{
        {"−4%", "Slept through", {0.25, accent}},
        {"−2%", "Slept through", {0, accent}},
        {"−8%", "Woke 4×, mostly notifications", {0.5, signalRed}},  // a tie, decided by name
        {"0%", "Woke once: Wi-Fi or Bluetooth", {0, accent}},
        {"wall", "Woke 3×, mostly scheduled maintenance", {0, accent}},
    };
    ASSERT_EQ(card.rows.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(std::tuple(card.rows[i].loss, card.rows[i].wakes, card.rows[i].bar),
                  std::tuple(expected[i].loss, expected[i].wakes, expected[i].bar))
            << i;
    EXPECT_EQ(card.rows[0].time, "Tue 2:00\u202fAM · 8h 00m");
    EXPECT_EQ(card.rows[1].time, "Mon 2:00\u202fAM · 0m");
    EXPECT_EQ(card.rows[0].accessibility, "Tue 2:00\u202fAM · 8h 00m, −4%, Slept through");

    // One stretch: under an hour on battery gives no drain yet; a single wake without reasons.
    const auto one = [&](double minutes) { return SleepCard::make({night(0, minutes, 60, 57, true, 1, {})}, accent, format); };
    EXPECT_EQ(std::tuple(one(59).drain, one(59).rows.size(), one(59).rows[0].wakes),
              std::tuple(std::nullopt, std::size_t{1}, "Woke once"));
    EXPECT_EQ(one(60).drain, "3.0% an hour on battery");
    // An hour in three stretches is an hour: whole minutes are summed, not fractions of hours.
    const auto split = SleepCard::make({night(2, 10, 60, 59, true, 0, {}), night(1, 40, 60, 59, true, 0, {}),
                                        night(0, 10, 60, 59, true, 0, {})},
                                       accent, format);
    EXPECT_EQ(split.drain, "3.0% an hour on battery");
}

TEST_F(StatsCards, AppsForEachPeriodAndMetric) {
    const Date now = bench.queue.now();
    const AppUsage system{"", "System", 50, 9}, safari{"/Applications/Safari.app", "Safari", 30, 1},
        slack{"/Applications/Slack.app", "Slack", 20, 3};
    probe.apps({system, safari, slack});
    probe.lastSample(now - 60);
    probe.record({{"/Applications/Xcode.app", "Xcode", 3, 2}, {"", "System", 1, 9}});  // today's ledger
    probe.drain(9.4);
    probe.usingWatts(12.6);

    // The card as lines: description, empty note, rows (name, figure, detail), footnote, metrics.
    const auto shown = [&](AppPeriod period, AppMetric metric, Date at) {
        const AppsCard card = AppsCard::make(m, period, metric, accent, at);
        std::vector<std::string> out{titles(card.periods) + " / " + titles(card.metrics), card.description};
        if (card.empty) out.push_back(*card.empty);
        for (const auto& row : card.rows) out.push_back(row.app.name + " " + row.figure + " " + row.detail.value_or("-"));
        if (card.footnote) out.push_back(*card.footnote);
        return out;
    };
    using V = std::vector<std::string>;
    const std::string settled =
        "The measured draw, split by each app's share of the energy. The shares are macOS' estimates, so read "
        "these as approximate.";
    EXPECT_EQ(shown(AppPeriod::now, AppMetric::share, now),
              (V{"[NOW] TODAY 7D / [%] ≈%/H", "Share of the energy measured right now", "System 50% 9 processes",
                 "Safari 30% 1 process", "Slack 20% 3 processes"}));
    EXPECT_EQ(shown(AppPeriod::now, AppMetric::perHour, now),
              (V{"[NOW] TODAY 7D / % [≈%/H]", "The Mac uses 12.6 W: ≈9% of the battery an hour", "System ≈4.7 ≈6.3 W",
                 "Safari ≈2.8 ≈3.8 W", "Slack ≈1.9 ≈2.5 W", settled}));
    // The metric control is gone for the ledger's periods, and the metric stays unused there.
    EXPECT_EQ(shown(AppPeriod::today, AppMetric::perHour, now),
              (V{"NOW [TODAY] 7D / ", "Share of the energy measured today", "Xcode 75% -", "System 25% -"}));
    EXPECT_EQ(shown(AppPeriod::today, AppMetric::share, now + 3 * day),
              (V{"NOW [TODAY] 7D / ", "Share of the energy measured today", "Nothing recorded yet."}));
    EXPECT_EQ(shown(AppPeriod::week, AppMetric::share, now + 3 * day),
              (V{"NOW TODAY [7D] / ", "Share of the energy over 7 days", "Xcode 75% -", "System 25% -"}));

    // The draw per hour as the drain and the draw become known, on battery and plugged in.
    struct Row {
        bool plugged, early;
        std::optional<double> drain, watts;
        std::string description, first, footnote;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::string wall = " On wall power this is what each app would cost on battery.";
    const Row rows[] = {
        {true, false, 9.4, 12.6, "The Mac uses 12.6 W: ≈9% of the battery an hour, if unplugged", "System ≈4.7 ≈6.3 W",
         settled + wall},
        {false, true, 9.4, 12.6, "The Mac uses 12.6 W: ≈9% of the battery an hour", "System ≈4.7 ≈6.3 W",
         "First figures, from under two minutes of readings. They settle as Norvane measures."},
        {true, false, std::nullopt, 9.8, "The Mac uses 9.8 W, if unplugged", "System ··· ≈4.9 W",
         "The first figures take about 15 seconds: Norvane needs a few readings of the draw."},
        {false, false, nan, nan, "Measuring the draw…", "System ··· measuring…",
         "The first figures take about 15 seconds: Norvane needs a few readings of the draw."},
    };
    for (const auto& row : rows) {
        probe.battery(row.plugged ? plugged(60, true) : onBattery(60));
        probe.drainEarly(row.early);
        probe.drain(row.drain);
        probe.usingWatts(row.watts);
        const V lines = shown(AppPeriod::now, AppMetric::perHour, now);
        EXPECT_EQ(V(lines.begin() + 1, lines.begin() + 3), (V{row.description, row.first}));
        EXPECT_EQ(lines.back(), row.footnote);
    }

    // Ten rows of twelve apps, each share counted against all twelve; no energy at all.
    std::vector<AppUsage> twelve;
    for (int i = 0; i < 12; ++i) twelve.push_back({"/Applications/" + std::to_string(i) + ".app", "A", 1, 1});
    probe.apps(twelve);
    const AppsCard many = AppsCard::make(m, AppPeriod::now, AppMetric::share, accent, now);
    EXPECT_EQ(std::tuple(many.rows.size(), many.rows[9].figure), std::tuple(std::size_t{10}, "8%"));
    for (auto& app : twelve) app.impact = 0;
    probe.apps(twelve);
    EXPECT_EQ(AppsCard::make(m, AppPeriod::now, AppMetric::share, accent, now).rows[0].bar, (DotBar{0, accent}));
    probe.apps({{"/a", "A", 999, 1}, {"/b", "B", 1, 0}});  // truncated, not rounded
    EXPECT_EQ(shown(AppPeriod::now, AppMetric::share, now), (V{"[NOW] TODAY 7D / [%] ≈%/H",
                                                              "Share of the energy measured right now",
                                                              "A 99% 1 process", "B 0% 0 processes"}));
    probe.apps({});
    EXPECT_EQ(AppsCard::make(m, AppPeriod::now, AppMetric::share, accent, now).empty, "Measuring…");
}

TEST_F(StatsCards, HistoryColumnsForEachSpanOfTheDemoWeek) {
    const Date now = bench.queue.now();
    const auto demo = AppModel::demoHistory(now);  // a sample every 5 minutes
    probe.samples(demo);
    struct Row {
        Span span;
        std::string segments, accessibility, start;
    };
    const Row rows[] = {
        {Span::hours, "[3H] 24H 7D", "Battery level over the last 3 hours", "−3H"},
        {Span::day, "3H [24H] 7D", "Battery level over the last 24 hours", "−24H"},
        {Span::week, "3H 24H [7D]", "Battery level over the last 7 days", "−7D"},
    };
    for (const auto& row : rows) {
        const HistoryCard card = HistoryCard::make(m, row.span, now);
        EXPECT_EQ(std::tuple(titles(card.spans), card.accessibility, card.start, card.demo),
                  std::tuple(row.segments, row.accessibility, row.start, false));
        ASSERT_EQ(card.columns.size(), 36u);
        EXPECT_TRUE(std::all_of(card.columns.begin(), card.columns.end(), [](const auto& c) { return c.has_value(); }));
        // The newest column ends at now; the oldest holds the newest sample of its stretch.
        EXPECT_EQ(card.columns.back(), demo.back());
        EXPECT_EQ(now - card.columns.front()->time, seconds(row.span) * 35 / 36);
    }
}

}  // namespace
}  // namespace norvane
