#include "app/panel/RingRow.h"

#include <limits>

#include "app/visuals/ChargeTone.h"
#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using testing::titles;
using EnergyBlock = testing::PanelBench;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(RingBlock, ToneStepsDigitPitchAndBlinkTimeline) {
    const std::tuple<std::int64_t, ChargeTone, double> tones[] = {
        {5, ChargeTone::empty, 5},   {6, ChargeTone::low, 5},   {20, ChargeTone::low, 5},  {21, ChargeTone::middle, 5},
        {30, ChargeTone::middle, 5}, {31, ChargeTone::good, 5}, {95, ChargeTone::good, 5}, {96, ChargeTone::full, 5},
        {99, ChargeTone::full, 5},   {100, ChargeTone::full, 4}};
    for (const auto& [percent, tone, pitch] : tones) {
        Battery battery = onBattery(percent);
        const auto charge = RingRow::charge(battery);
        EXPECT_EQ(std::tuple(charge.tone, charge.pitch, charge.accessibility),
                  std::tuple(color(tone), pitch, "Battery " + std::to_string(percent) + " percent"))
            << percent;
    }

    // Steps of 0.6 s from 1 January 2001, cut toward zero: even steps light the next dot.
    const Date reference{978'307'200};
    const std::pair<double, bool> steps[] = {{0, true},    {0.59, true},  {0.6, false}, {1.2, true},
                                             {-0.3, true}, {-0.6, false}, {nan, false}};
    for (const auto& [offset, lit] : steps)
        EXPECT_EQ(RingRow::blinkAt(reference + offset), lit) << offset;
    // Redraws land in the middle of a step.
    const std::pair<double, double> waits[] = {{0, 0.3}, {0.31, 0.59}, {0.5, 0.4}, {-0.1, 0.4}, {nan, 0.6}};
    for (const auto& [offset, wait] : waits)
        EXPECT_NEAR(RingRow::untilNextBlink(reference + offset), wait, 1e-6) << offset;

    // Only a charging battery blinks.
    const auto charging = RingRow::charge(plugged(50, true));
    const auto resting = RingRow::charge(plugged(50, false));
    EXPECT_EQ(std::pair(charging.ring(true).blink, resting.ring(true).blink), std::pair(true, false));
}

TEST(TimeLeftBlock, FiveCasesWithTheChargerAndTheDraw) {
    using TL = RingRow::TimeLeft;
    const Color white = Color::white(), dim = Color::white(0.35);
    const Charger charger{"USB-C", 96, false};
    const Charger unrated{"USB-C", std::nullopt, false};
    struct Row {
        const char* what;
        Battery battery;
        std::optional<Forecast> forecast;
        std::optional<Charger> charger;
        std::optional<PowerFlow> flow;
        TL shown;
    };
    const TL none{"-:--", dim, false, "on wall power", "No time estimate"};
    const Row rows[] = {
        {"the draw on wall power", plugged(80, false), std::nullopt, charger, PowerFlow{12.5, 30},
         TL{"13", white, true, "now · 96 W charger", "The Mac is using 13 watts"}},
        {"to full", plugged(80, true), Forecast{95, false, false}, charger, PowerFlow{12.5, 30},
         TL{"1:35", white, false, "to full · 96 W charger", "1h 35m to full"}},
        {"a charger without a rating", plugged(80, true), Forecast{45, false, false}, unrated, std::nullopt,
         TL{"0:45", white, false, "to full", "45m to full"}},
        {"left on battery", onBattery(50), Forecast{185, true, false}, std::nullopt, PowerFlow{9, std::nullopt},
         TL{"3:05", white, false, "left on battery", "3h 05m left"}},
        {"no estimate on wall power", plugged(80, false), std::nullopt, std::nullopt, std::nullopt, none},
        {"a draw that is no number", plugged(80, false), std::nullopt, charger, PowerFlow{nan, 30}, none},
        {"a draw past any integer", plugged(80, false), std::nullopt, charger, PowerFlow{1e300, 30}, none},
        {"estimating", onBattery(50), std::nullopt, std::nullopt, PowerFlow{9, std::nullopt},
         TL{"-:--", dim, false, "estimating…", "No time estimate"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RingRow::timeLeft(row.battery, row.forecast, row.charger, row.flow), row.shown) << row.what;
}

TEST_F(EnergyBlock, SegmentsOrSwitchWithTheirCaptions) {
    struct Row {
        bool highPower;
        std::int64_t mode;
        bool lowPower, owed, plugged, helperReady;
        std::int64_t autoLow;
        std::string control;  // the segments, or the switch as "on"/"off"
        std::string caption;
    };
    const Row rows[] = {
        {true, 2, false, false, true, true, 0, "LOW AUTO [HIGH]", "High Power · plugged in"},
        {true, 1, true, true, false, true, 0, "[LOW] AUTO HIGH", "Low by itself · off after charging"},
        {true, 1, true, false, false, true, 0, "[LOW] AUTO HIGH", "Low Power · on battery"},
        {true, 0, false, false, false, true, 20, "LOW [AUTO] HIGH", "Automatic · low under 20%"},
        {true, 0, false, false, true, false, 20, "LOW [AUTO] HIGH", "Automatic · plugged in"},  // helper not ready
        {true, 0, false, false, false, true, 0, "LOW [AUTO] HIGH", "Automatic · on battery"},
        {false, 0, true, true, false, true, 20, "on", "On by itself · off after charging"},
        {false, 0, false, false, false, true, 20, "off", "Off · on by itself under 20%"},
        {false, 0, false, false, true, false, 20, "off", "Off · plugged in"},
        {false, 1, true, false, false, true, 0, "on", "On · on battery"},
    };
    for (const auto& row : rows) {
        probe.highPowerAvailable(row.highPower);
        probe.powerMode(row.mode);
        probe.lowPower(row.lowPower);
        m.setLowPowerOwed(row.owed);
        probe.battery(row.plugged ? plugged(70, false) : onBattery(70));
        probe.helperState(row.helperReady ? HelperState{helper_state::Ready{}} : helper_state::NotInstalled{});
        m.setAutoLowPower(row.autoLow);
        const auto energy = RingRow::energy(m);
        const auto* modes = std::get_if<RingRow::ModeSegments>(&energy.control);
        const std::string control = modes                                                  ? titles(modes->segments)
                                    : std::get<RingRow::LowPowerSwitch>(energy.control).on ? "on"
                                                                                           : "off";
        EXPECT_EQ(std::pair(control, energy.caption), std::pair(row.control, row.caption)) << row.caption;
        EXPECT_TRUE(energy.enabled);
    }
    probe.lowPowerBusy(true);
    EXPECT_FALSE(RingRow::energy(m).enabled);
}

}  // namespace
}  // namespace norvane
