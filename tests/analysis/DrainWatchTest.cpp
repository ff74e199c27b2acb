#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/analysis/AutoLowPower.h"
#include "app/analysis/DrainWatch.h"

namespace norvane {
namespace {

const Date start{1'780'000'000};
const DrainWatch::Top safari{"/Applications/Safari.app", "Safari", 0.5};
const DrainWatch::Top editor{"/Applications/Editor.app", "Editor", 0.6};

// Sightings every 60 s from `from` to `to` seconds after start; how many notices they gave.
int watch(DrainWatch& w, const DrainWatch::Top& top, double from, double to, double drain = 15, double usual = 8) {
    int notices = 0;
    for (double t = from; t <= to; t += 60)
        notices += w.due(top, drain, usual, false, start + t).has_value();
    return notices;
}

TEST(DrainWatch, TenMinutesAtTheTopGiveOneNoticeWithNameDrainMultipleAndAdvice) {
    DrainWatch w;
    EXPECT_EQ(watch(w, safari, 0, 540), 0);
    EXPECT_FALSE(w.due(safari, 15, 8, false, start + 599));
    EXPECT_EQ(w.due(safari, 15, 8, false, start + 600),
              (Notice{"Safari is draining the battery",
                      "About 15% per hour, twice your usual. Close it, or at least its heavy tabs."}));
    DrainWatch other;
    watch(other, editor, 0, 540, 30, 10);
    EXPECT_EQ(other.due(editor, 30.4, 10, false, start + 600)->body,
              "About 30% per hour, 3 times your usual. Heavy for a while. Quit it if you can.");
    // One notice per app every three hours; another app may notify in between.
    EXPECT_EQ(watch(w, editor, 660, 1260), 1);
    EXPECT_EQ(watch(w, safari, 1320, 600 + 10'740), 0);
    EXPECT_EQ(watch(w, safari, 600 + 10'800, 600 + 10'800), 1);
}

TEST(DrainWatch, WhatStartsTheTenMinutesOver) {
    const std::pair<std::optional<DrainWatch::Top>, bool> breaks[] = {
        {std::nullopt, false}, {DrainWatch::Top{"", "System", 0.9}, false}, {DrainWatch::Top{safari.id, "", 0.39}, false},
        {DrainWatch::Top{safari.id, "", std::nan("")}, false}, {editor, false}, {safari, true}};
    for (const auto& [top, plugged] : breaks) {
        DrainWatch w;
        watch(w, safari, 0, 300);
        EXPECT_FALSE(w.due(top, 15, 8, plugged, start + 330));
        EXPECT_EQ(watch(w, safari, 360, 900), 0) << (top ? top->share : -1) << plugged;
        EXPECT_EQ(watch(w, safari, 960, 960), 1);
    }
    // A gap of 121 s between sightings starts over, one of 120 s does not.
    DrainWatch gap;
    watch(gap, safari, 0, 300);
    EXPECT_EQ(watch(gap, safari, 421, 1020), 0);
    EXPECT_EQ(watch(gap, safari, 1021, 1021), 1);
    DrainWatch noGap;
    watch(noGap, safari, 0, 300);
    EXPECT_EQ(watch(noGap, safari, 420, 600), 1);
}

TEST(DrainWatch, DrainMustBeAtLeastTwelveAndOneAndAHalfTimesUsual) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::tuple<std::optional<double>, std::optional<double>, bool> cases[] = {
        {12, 8, true},  {11, 3, false},           {11.99, 2, false}, {12, 8.01, false},
        {15, 0, false}, {std::nullopt, 8, false}, {15, {}, false},   {inf, 8, false},
    };
    for (const auto& [drain, usual, notice] : cases) {
        DrainWatch w;
        watch(w, safari, 0, 540);
        EXPECT_EQ(w.due(safari, drain, usual, false, start + 600).has_value(), notice) << drain.value_or(-1);
    }
    for (const auto& [ratio, text] : std::vector<std::pair<double, std::string>>{
             {1.74, "one and a half times"}, {1.75, "twice"}, {2.3, "2.5 times"}, {3.1, "3 times"},
             {1234567, "1.23457e+06 times"}})
        EXPECT_EQ(multiple(ratio), text) << ratio;
}

// Automatic Low Power at level 20, one pass after another: percent, plugged, the mode as
// the system reports it, the action ('+' on, '0' off, '-' none), the owed flag afterwards,
// and the seconds since start (-1: 5 s after the previous pass).
struct LowPass {
    std::int64_t percent;
    bool plugged, on;
    char action;
    bool owed;
    double at = -1;
};

void run(const std::vector<LowPass>& passes, std::int64_t level = 20, bool owed = false) {
    AutoLowPower rule;
    double t = 0;
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const LowPass& p = passes[i];
        t = p.at >= 0 ? p.at : t + 5;
        const auto step = rule.step(level, p.percent, p.plugged, p.on, start + t, owed);
        const char action = std::holds_alternative<AutoLowPower::SwitchOn>(step.action)    ? '+'
                            : std::holds_alternative<AutoLowPower::SwitchOff>(step.action) ? '0'
                                                                                           : '-';
        EXPECT_EQ(action, p.action) << "pass " << i;
        EXPECT_EQ(step.lowPowerOwed, p.owed) << "pass " << i;
        owed = step.lowPowerOwed;
    }
}

TEST(AutoLowPower, OnOnceAtTheLevelOffAfterChargingAboveIt) {
    AutoLowPower rule;
    EXPECT_EQ(rule.step(20, 20, false, false, start, false).action,
              AutoLowPower::Action(AutoLowPower::SwitchOn{
                  {"Low Power Mode is on", "The battery is at 20%. Norvane switches it back off after charging."}}));
    run({{20, false, false, '+', true, 0}, {19, false, true, '-', true, 40}, {24, false, true, '-', true},
         {60, true, true, '-', true, 1000},  // charging: still owed
         {25, false, true, '-', true, 2000}, {26, false, true, '0', true},
         {26, false, true, '-', true},                                        // the switch is under way
         {26, false, true, '0', true, 2040},                                  // it did not take: again
         {26, false, false, '-', true, 2045}, {26, false, false, '-', false, 2070}});  // off: no longer owed
    // Again only after 25 % (or wall power, which re-arms it).
    run({{20, false, false, '+', true, 0}, {25, false, false, '-', false, 100}, {20, false, false, '+', true},
         {19, true, true, '-', true, 200}, {19, false, false, '+', true, 240}});
    run({{0, false, false, '-', false}}, 0);
    run({{1, false, true, '0', true}}, 0, true);  // switched off since: any charge counts
    run({{20, false, true, '-', false}, {90, false, true, '-', false, 4000}});  // on already: not the app's
}

TEST(AutoLowPower, ThirtySecondsBetweenSwitchesThenASeenOffModeIsNoLongerOwed) {
    run({{20, false, false, '+', true, 0}, {20, false, false, '-', true, 29},  // slow to come on
         {20, false, false, '-', false, 30},                                    // the switch failed
         {25, false, false, '-', false}, {20, false, false, '+', true, 40},
         {15, true, true, '-', true, 45},  // wall power takes the ownership back: a new gap
         {15, true, false, '-', true, 70}, {15, true, false, '-', false, 75}});
    // The user turns it off, and later on at a high charge, on battery or on wall power (where
    // the battery's own setting is given).
    run({{20, false, false, '+', true, 0}, {18, false, false, '-', false, 60}, {90, false, true, '-', false, 4000}});
    run({{20, false, false, '+', true, 0}, {40, true, true, '-', true, 100}, {60, true, false, '-', false, 200},
         {80, true, true, '-', false, 300}, {80, false, true, '-', false, 400}});
}

}  // namespace
}  // namespace norvane
