#include "app/panel/BatteryCard.h"

#include <limits>

#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using BatteryFacts = testing::PanelBench;
using Facts = BatteryCard::Facts;
using Slider = BatteryCard::LimitSlider;

TEST_F(BatteryFacts, OnBatteryAndPluggedIn) {
    struct Row {
        Battery battery;
        std::optional<Charger> charger;
        std::optional<PowerFlow> flow;
        std::optional<double> drain;
        std::optional<Forecast> forecast;
        BatteryCard card;
    };
    Battery discharging = onBattery(60);
    discharging.milliamps = -1500, discharging.millivolts = 11'600, discharging.cycles = 312;
    Battery unknown = onBattery(60);
    unknown.design = 0;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Row rows[] = {
        {discharging, std::nullopt, std::nullopt, 9.4, Forecast{340, true, false},
         {Facts{{{"91%", "Health"}, {"312", "Cycles"}, {"5000 mAh", "Capacity"}}},
          Facts{{{"17.4 W", "Mac uses"}, {"≈9%", "Per hour"}, {"5h 40m", "Remaining"}}}, std::nullopt, std::nullopt}},
        {unknown, std::nullopt, PowerFlow{nan, std::nullopt}, nan, std::nullopt,
         {Facts{{{"—", "Health"}, {"0", "Cycles"}, {"5000 mAh", "Capacity"}}},
          Facts{{{"14.4 W", "Mac uses"}, {"—", "Per hour"}, {"—", "Remaining"}}}, std::nullopt, std::nullopt}},
        {plugged(60, true, 2000), Charger{"USB-C Power Adapter", 96, false}, PowerFlow{12.34, 40.0}, 9.4,
         Forecast{45, true, false},
         {Facts{{{"91%", "Health"}, {"0", "Cycles"}, {"5000 mAh", "Capacity"}}},
          Facts{{{"12.3 W", "Mac uses"}, {"≈9%", "If unplugged"}, {"45m", "To full"}}},
          Facts{{{"96 W", "Charger"}, {"40.0 W", "From wall"}, {"24.0 W", "Into battery"}}},
          "USB-C Power Adapter · 24 W is going into the battery"}},
        {plugged(60, false), Charger{std::nullopt, std::nullopt, false}, std::nullopt, std::nullopt, std::nullopt,
         {Facts{{{"91%", "Health"}, {"0", "Cycles"}, {"5000 mAh", "Capacity"}}},
          Facts{{{"0.0 W", "Mac uses"}, {"—", "If unplugged"}, {"—", "Remaining"}}},
          Facts{{{"—", "Charger"}, {"—", "From wall"}, {"—", "Into battery"}}}, "Plugged in. macOS does not say why"}},
    };
    for (const auto& row : rows) {
        probe.battery(row.battery);
        probe.charger(row.charger);
        probe.flow(row.flow);
        probe.drain(row.drain);
        probe.forecast(row.forecast);
        EXPECT_EQ(BatteryCard::make(m), row.card) << row.card.second[0].value;
    }
    probe.systemHealth(88);  // the system's own figure comes first
    EXPECT_EQ(BatteryCard::make(m).first[0].value, "88%");
}

TEST_F(BatteryFacts, AYearOfCapacityTwoColumnsAMonth) {
    const std::pair<double, std::optional<int>> levels[] = {
        {95.9, 8}, {96.0, 8}, {96.1, 9}, {99, 10}, {120, 10}, {82, 1}, {79, 1},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt}};
    for (const auto& [percent, dots] : levels)
        EXPECT_EQ(BatteryCard::level(percent), dots) << percent;

    const DateFormatter format("en_US", "UTC");
    const Date now = bench.queue.now();  // 8 December 2026
    using Levels = std::vector<std::optional<int>>;
    const std::string firstNote =
        "Norvane records the capacity once a day; the chart fills as months pass. Each dot is 2%, from 80% up.";
    struct Row {
        std::vector<HealthPoint> points;
        BatteryCard::Trend trend;
        std::int64_t design = 5500;  // mAh
    };
    Levels autumn(18), young(20);
    autumn.insert(autumn.end(), {10, 10, std::nullopt, std::nullopt, 8, 8});
    young.insert(young.end(), {std::nullopt, std::nullopt, 9, 9});  // 96.2 % on average
    const Row rows[] = {
        {{}, {Levels(24), std::nullopt, "Capacity over twelve months", firstNote}},
        {{{"2026-10-01", 5500, 100, 100}, {"2026-12-01", 5280, 96, 160}},
         {autumn, "−4% · 60 cycles", "Capacity changed by -4 percent since October",
          "Since October 2026. Each dot is 2% of the capacity when new, from 80% up."}},
        {{{"2026-12-01", 5280, 96, 160}, {"2026-12-08", 5300, 96, 170}},  // under 30 days: no change yet
         {young, std::nullopt, "Capacity over twelve months", firstNote}},
        // Without a design capacity there is nothing to measure against: no chart at all.
        {{{"2026-12-01", 5280, 96, 160}}, {{}, std::nullopt, "Capacity over twelve months", firstNote}, 0},
        {{{"2026-12-01", 5280, 96, 160}}, {{}, std::nullopt, "Capacity over twelve months", firstNote}, -1},
    };
    for (const auto& row : rows) {
        Battery battery = onBattery(60);
        battery.design = row.design;
        probe.battery(battery);
        probe.health(HealthTrend{row.points});
        EXPECT_EQ(BatteryCard::trend(m, now, format), row.trend) << row.points.size() << " points, " << row.design;
    }
}

TEST_F(BatteryFacts, TheFourLayoutsOfTheChargeLimit) {
    StatsTab tab;
    probe.limit(80);
    tab.takeLimit(80);
    const std::pair<LimitAvailability, BatteryCard::Limit> rows[] = {
        {availability::Ready{{80, 85, 90, 95}}, Slider{{80, 85, 90, 95, 100}, 0, "80%", "80 percent", false, Slider::defaultNote}},
        {availability::UnverifiedOS{"27.3"},
         BatteryCard::LimitSettings{
             "Charge limit is not verified on macOS 27.3 yet. Use System Settings until Norvane is updated."}},
        {availability::Unsupported{""}, BatteryCard::LimitNote{"Charge limit is not available on this Mac."}},
        {availability::Unsupported{"This Mac does not offer a charge limit"},
         BatteryCard::LimitNote{"This Mac does not offer a charge limit"}},
        {availability::NeedsNewerOS{}, BatteryCard::LimitNote{"Charge limit needs macOS 26.4 or later."}},
    };
    for (const auto& [availability, layout] : rows) {
        probe.limitAvailability(availability);
        EXPECT_EQ(BatteryCard::limit(m, tab), layout) << layout.index();
    }
    // Off, busy and the model's note.
    probe.limitAvailability(availability::Ready{{}});
    probe.limitBusy(true);
    probe.limitNote("Not applied: the service refused");
    tab.takeLimit(100);
    EXPECT_EQ(BatteryCard::limit(m, tab),
              BatteryCard::Limit(Slider{{80, 85, 90, 95, 100}, 4, "Off", "Off", true, "Not applied: the service refused"}));
}

TEST_F(BatteryFacts, TheSliderReachesOffAndSendsOnlyANewValueOnRelease) {
    const std::pair<std::vector<std::int64_t>, std::vector<std::int64_t>> values[] = {
        {{}, {80, 85, 90, 95, 100}},
        {{80, 90}, {80, 85, 90, 95, 100}},
        {{82, 90}, {82, 87, 92, 97, 100}},  // 100 after 97: "Off" stays within reach
        {{99}, {99, 100}},
        {{-20}, {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95, 100}},
    };
    for (const auto& [offered, slider] : values)
        EXPECT_EQ(BatteryCard::sliderValues(offered), slider) << offered.size();
    EXPECT_EQ(BatteryCard::nearest({82, 87, 92, 97, 100}, 99), 4u);

    probe.limitAvailability(availability::Ready{{80, 85, 90, 95}});
    probe.limit(80);
    StatsTab tab;
    tab.takeLimit(80);  // the model's value arriving asks nothing
    EXPECT_EQ(tab.commit(m), std::nullopt);
    using Sent = std::optional<std::int64_t>;
    // A drag from 80 to 90 and back sends nothing; one that ends on 85 sends 85 once.
    EXPECT_EQ((std::vector<Sent>{tab.edit(true, m), tab.move(90, m), tab.move(80, m), tab.edit(false, m)}),
              (std::vector<Sent>(4)));
    EXPECT_EQ((std::vector<Sent>{tab.edit(true, m), tab.move(85, m), tab.edit(false, m)}),
              (std::vector<Sent>{std::nullopt, std::nullopt, 85}));
    // A key moves and sends at once, "Off" too; nothing while a request is under way.
    EXPECT_EQ(tab.move(100, m), 100);
    probe.limitBusy(true);
    EXPECT_EQ(tab.move(95, m), std::nullopt);
    probe.limitBusy(false);
    tab.takeLimit(m.limit());  // the request ended: the slider springs back
    EXPECT_EQ(std::pair(tab.slider, tab.commit(m)), std::pair(80.0, Sent()));
}

}  // namespace
}  // namespace norvane
