#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>

#include "app/analysis/Tip.h"

namespace norvane {
namespace {

using namespace tip_button;

// Plugged in at 60 %, nothing to say.
TipContext quiet() {
    TipContext c;
    c.battery.percent = 60;
    c.battery.plugged = true;
    return c;
}

TipContext onBattery(std::optional<std::int64_t> minutes) {
    TipContext c = quiet();
    c.battery.plugged = false;
    c.forecastMinutes = minutes;
    return c;
}

HeavyApp heavy(std::optional<std::int64_t> gain, bool early = false, bool sustained = true, bool inUse = false) {
    return {"/Applications/Zoom.app", "Zoom", 0.424, inUse, sustained, "Leave the call when it ends", gain, early};
}

SleepStretch sleep(std::int64_t before, std::int64_t after, std::int64_t wakes,
                   std::map<std::string, std::int64_t> reasons = {}) {
    return {Date{1'780'000'000}, Date{1'780'000'000 + 7 * 3600 + 5 * 60 + 30}, before, after, true, wakes, reasons};
}

std::vector<std::string> ids(const std::vector<Tip>& list) {
    std::vector<std::string> out;
    for (const auto& tip : list) out.push_back(tip.id);
    return out;
}

TEST(Tips, ConditionsAndOrder) {
    struct Case {
        const char* what;
        std::function<void(TipContext&)> change;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases{
        {"nothing applies", [](TipContext&) {}, {}},
        {"service before heat",
         [](TipContext& c) {
             c.serviceRecommended = c.runningHot = c.battery.charging = true;
         },
         {"service", "heat"}},
        {"hot but not charging", [](TipContext& c) { c.runningHot = true; }, {}},
        {"45 minutes left", [](TipContext& c) { c = onBattery(45); }, {"low-power", "dim"}},
        {"45 minutes in Low Power",
         [](TipContext& c) {
             c = onBattery(45);
             c.lowPower = true;
         },
         {"dim"}},
        {"119 minutes", [](TipContext& c) { c = onBattery(119); }, {"low-power"}},
        {"120 minutes", [](TipContext& c) { c = onBattery(120); }, {}},
        {"no forecast", [](TipContext& c) { c = onBattery(std::nullopt); }, {}},
        {"plugged with a forecast", [](TipContext& c) { c.forecastMinutes = 45; }, {}},
        {"heavy app on battery",
         [](TipContext& c) {
             c = onBattery(300);
             c.heavy = heavy(12);
         },
         {"heavy-app:/Applications/Zoom.app"}},
        {"heavy app on the charger", [](TipContext& c) { c.heavy = heavy(12); }, {}},
        {"plugged 70% of the week",
         [](TipContext& c) {
             c.limitAvailable = true;
             c.pluggedShare = 0.7;
         },
         {"charge-limit"}},
        {"plugged 69%",
         [](TipContext& c) {
             c.limitAvailable = true;
             c.pluggedShare = 0.69;
         },
         {}},
        {"plugged, limit set",
         [](TipContext& c) {
             c.limitAvailable = true;
             c.pluggedShare = 0.9;
             c.limit = 80;
         },
         {}},
        {"plugged, no limit offered", [](TipContext& c) { c.pluggedShare = 0.9; }, {}},
        {"optimised off", [](TipContext& c) { c.optimisedOff = true; }, {"optimized-charging"}},
        {"optimised off with a limit",
         [](TipContext& c) {
             c.optimisedOff = true;
             c.limit = 80;
         },
         {}},
        {"ran empty", [](TipContext& c) { c.ranNearlyEmpty = true; }, {"no-deep-discharge"}},
        {"ran empty with an alert set",
         [](TipContext& c) {
             c.ranNearlyEmpty = true;
             c.lowAlert = 10;
         },
         {}},
        {"slept 80 to 76", [](TipContext& c) { c.lastSleep = sleep(80, 76, 0); }, {}},
        {"slept 80 to 75", [](TipContext& c) { c.lastSleep = sleep(80, 75, 0); }, {"sleep-drain"}},
        {"slept 80 to 5 on the charger",
         [](TipContext& c) {
             c.lastSleep = sleep(80, 5, 0);
             c.lastSleep->onBattery = false;
         },
         {}},
        {"slept with percents at the integer's ends",
         [](TipContext& c) { c.lastSleep = sleep(std::numeric_limits<std::int64_t>::min(), 1, 0); },
         {}},
        {"held",
         [](TipContext& c) {
             c.held = c.limitAvailable = true;
         },
         {"full-once"}},
        {"held, full charge running",
         [](TipContext& c) {
             c.held = c.limitAvailable = c.fullOnce = true;
         },
         {}},
        {"held, no limit offered", [](TipContext& c) { c.held = true; }, {}},
        {"everything at once",
         [](TipContext& c) {
             c = onBattery(30);
             c.battery.charging = c.runningHot = c.serviceRecommended = c.limitAvailable = c.optimisedOff =
                 c.ranNearlyEmpty = c.held = true;
             c.pluggedShare = 1;
             c.heavy = heavy(3);
             c.lastSleep = sleep(50, 40, 2);
         },
         {"service", "heat", "heavy-app:/Applications/Zoom.app", "low-power", "dim", "charge-limit",
          "optimized-charging", "no-deep-discharge", "sleep-drain", "full-once"}},
    };
    for (const auto& c : cases) {
        TipContext context = quiet();
        c.change(context);
        EXPECT_EQ(ids(tips(context)), c.expected) << c.what;
    }
}

// A tip's texts, evidence, source titles and button.
struct Words {
    std::string line, action, effect, why;
    Evidence evidence;
    std::vector<std::string> sources;
    std::optional<TipButton> button;
    bool operator==(const Words&) const = default;
};

Words words(const Tip& tip) {
    std::vector<std::string> names;
    for (const auto& s : tip.sources) {
        EXPECT_TRUE(s.url.starts_with("https://")) << s.url;
        names.push_back(s.name);
    }
    return {tip.line, tip.action, tip.effect, tip.why, tip.evidence, names, tip.button};
}

TEST(Tips, WordForWord) {
    const std::string maximizing = "Apple: Maximizing battery performance";
    const std::string optimized = "Apple: About Optimized Battery Charging on your Mac";
    const std::string heavyLine = "Zoom takes 42% of the energy";
    const std::string heavyAction = "Leave the call when it ends.";
    const std::string quitZoom = "Zoom has used 42% of the measured energy for more than two minutes.";
    const std::string sleepLine = "It lost 5% while asleep";
    const std::string sleepAction = "Look at the last nights in Stats: they show how often the Mac woke and for what.";
    const std::string sleepEffect =
        "Knowing the cause is the first step; Norvane cannot stop the wakes itself. Closing the app behind them, or "
        "the lid on a charger, usually does.";
    const std::string fullLine = "Need a full battery today? Charge to 100% once";
    const std::string fullAction = "Ask for one full charge before you leave the desk.";
    const std::string fullEffect =
        "macOS starts charging within a few minutes and holds the charge again afterwards. It is the same as Charge "
        "to Full Now in the battery menu.";
    const std::string serviceLine = "The battery needs service";
    const std::string serviceAction =
        "Book a battery replacement with Apple or an authorised service. Battery settings show the condition.";
    const std::string serviceEffect =
        "A new battery brings the capacity back. Until then the Mac is safe to use, Apple says: it only holds less "
        "charge.";
    const std::string heatLine = "It's hot: charge later if you can";
    const std::string heatAction =
        "Unplug the charger, or move the Mac somewhere cooler, and charge once it has cooled down.";
    const std::string heatEffect =
        "Less wear: Apple says heat above 35 °C can permanently reduce capacity, and charging in heat adds to it.";
    const std::vector<std::string> heatSources{maximizing, "BU-808: How to Prolong Lithium-based Batteries"};

    struct Case {
        std::string id;
        std::function<void(TipContext&)> change;
        Words expected;
    };
    const std::vector<Case> cases{
        {"service",
         [](TipContext& c) {
             c.serviceRecommended = true;
             c.health = 78;
         },
         {serviceLine, serviceAction, serviceEffect,
          "macOS reports Service Recommended: the battery holds 78% of what it did when new.", Evidence::apple,
          {"Apple: Check your Mac laptop battery's health"}, BatterySettings{}}},
        {"service",
         [](TipContext& c) { c.serviceRecommended = true; },
         {serviceLine, serviceAction, serviceEffect, "macOS reports Service Recommended.", Evidence::apple,
          {"Apple: Check your Mac laptop battery's health"}, BatterySettings{}}},
        {"heat",
         [](TipContext& c) {
             c.battery.charging = c.runningHot = true;
             c.batteryTemperature = 36.6;
         },
         {heatLine, heatAction, heatEffect,
          "macOS reports that the Mac is running hot while it charges; the battery is at 37°.",
          Evidence::appleResearch, heatSources, std::nullopt}},
        {"heat",
         [](TipContext& c) { c.battery.charging = c.runningHot = true; },
         {heatLine, heatAction, heatEffect, "macOS reports that the Mac is running hot while it charges.",
          Evidence::appleResearch, heatSources, std::nullopt}},
        {"heavy-app:/Applications/Zoom.app",
         [](TipContext& c) {
             c = onBattery(300);
             c.heavy = heavy(std::nullopt);
         },
         {heavyLine, heavyAction,
          "Not measured yet: Norvane needs about 15 seconds of readings on battery before it can estimate the gain.",
          quitZoom, Evidence::measured, {}, Quit{"/Applications/Zoom.app", "Zoom"}}},
        {"heavy-app:/Applications/Zoom.app",
         [](TipContext& c) {
             c = onBattery(300);
             c.heavy = heavy(0, false, false, true);
         },
         {heavyLine, heavyAction, "Under a minute at the current draw: it matters less than its share suggests.",
          "Zoom has used 42% of the measured energy in the last readings.", Evidence::measured, {}, std::nullopt}},
        {"heavy-app:/Applications/Zoom.app",
         [](TipContext& c) {
             c = onBattery(300);
             c.heavy = heavy(65, true);
         },
         {heavyLine, heavyAction,
          "About +1h 05m at the current draw: a first estimate, it settles within two minutes. After you quit, "
          "Norvane measures what really changed.",
          quitZoom, Evidence::measured, {}, Quit{"/Applications/Zoom.app", "Zoom"}}},
        {"heavy-app:/Applications/Zoom.app",
         [](TipContext& c) {
             c = onBattery(300);
             c.heavy = heavy(25);
         },
         {heavyLine, heavyAction,
          "About +25m at the current draw. An estimate from its share of the energy. After you quit, Norvane "
          "measures what really changed.",
          quitZoom, Evidence::measured, {}, Quit{"/Applications/Zoom.app", "Zoom"}}},
        {"low-power",
         [](TipContext& c) { c = onBattery(75); },
         {"Low Power Mode adds time when you need it", "Switch Low Power Mode on until you can plug in.",
          "Apple gives no figure, and it depends on what you are doing. The time left above is measured again within "
          "seconds, so you will see what it gave.",
          "On battery with about 1h 15m left.", Evidence::apple, {"Apple: About Power Modes on your Mac"},
          LowPower{}}},
        {"dim",
         [](TipContext& c) { c = onBattery(45); },
         {"Dim the screen to stretch this charge",
          "Lower the brightness with the F1 key or in Control Centre, to the dimmest level that is still comfortable.",
          "This is Apple's own advice for the longest battery life; Apple gives no figure. Watch the time left above "
          "after you dim.",
          "On battery with under an hour left.", Evidence::apple, {maximizing}, std::nullopt}},
        {"charge-limit",
         [](TipContext& c) {
             c.limitAvailable = true;
             c.pluggedShare = 0.866;
         },
         {"Mostly plugged in? Set a charge limit",
          "Set the charge limit to 80%. macOS then stops charging there and resumes after a small drop.",
          "Less time spent at full charge, which is what wears a battery. How much that saves on a MacBook nobody has "
          "measured.",
          "This Mac spent 87% of the last week on the charger.", Evidence::appleResearch,
          {optimized, "Calendar Aging of Lithium-Ion Batteries: I. Impact of the Graphite Anode on Capacity Fade"},
          SetLimit{}}},
        {"optimized-charging",
         [](TipContext& c) { c.optimisedOff = true; },
         {"Optimized Battery Charging is off",
          "Switch Optimized Battery Charging on in Battery settings, or set a charge limit here.",
          "Apple designed it to lengthen battery lifespan by cutting the time spent fully charged. Apple gives no "
          "figure.",
          "It is switched off, and no charge limit is set.", Evidence::apple, {optimized}, BatterySettings{}}},
        {"no-deep-discharge",
         [](TipContext& c) { c.ranNearlyEmpty = true; },
         {"It ran nearly empty: get a reminder sooner", "Let Norvane notify you at 20%, and plug in then.",
          "Fewer deep discharges. In lab tests they wore cells out faster than shallow ones; Apple says there is no "
          "need to run a battery down.",
          "The battery dropped to 5% or lower in the last three days.", Evidence::appleResearch,
          {"Apple: Why lithium-ion?",
           "Degradation of Commercial Lithium-Ion Cells as a Function of Chemistry and Cycling Conditions"},
          AlertAt20{}}},
        {"sleep-drain",
         [](TipContext& c) { c.lastSleep = sleep(80, 75, 0); },
         {sleepLine, sleepAction, sleepEffect, "The last sleep on battery took 5% in 7h 05m.", Evidence::measured,
          {}, ShowSleep{}}},
        {"sleep-drain",
         [](TipContext& c) { c.lastSleep = sleep(80, 75, 4, {{"network", 1}, {"other", 3}}); },
         {sleepLine, sleepAction, sleepEffect, "The last sleep on battery took 5% in 7h 05m, with 4 wakes, mostly other.",
          Evidence::measured, {}, ShowSleep{}}},
        {"sleep-drain",
         [](TipContext& c) { c.lastSleep = sleep(80, 75, 1); },
         {sleepLine, sleepAction, sleepEffect, "The last sleep on battery took 5% in 7h 05m, with 1 wakes.",
          Evidence::measured, {}, ShowSleep{}}},
        {"full-once",
         [](TipContext& c) {
             c.held = c.limitAvailable = true;
             c.battery.percent = 80;
             c.limit = 80;
         },
         {fullLine, fullAction, fullEffect, "The charge is being held at 80% on purpose, by your 80% limit.",
          Evidence::apple, {optimized}, FullOnce{}}},
        {"full-once",
         [](TipContext& c) {
             c.held = c.limitAvailable = true;
             c.battery.percent = 93;
         },
         {fullLine, fullAction, fullEffect, "The charge is being held at 93% on purpose, by macOS.", Evidence::apple,
          {optimized}, FullOnce{}}},
    };
    for (const auto& c : cases) {
        TipContext context = quiet();
        c.change(context);
        const auto all = tips(context);
        const auto it = std::find_if(all.begin(), all.end(), [&](const Tip& t) { return t.id == c.id; });
        ASSERT_NE(it, all.end()) << c.id;
        EXPECT_EQ(words(*it), c.expected) << c.id << ": " << it->why;
    }
}

TEST(Tips, PickSkipsDismissedIds) {
    TipContext context = quiet();
    context.serviceRecommended = context.runningHot = context.battery.charging = true;
    EXPECT_EQ(pickTip(context, {})->id, "service");
    EXPECT_EQ(pickTip(context, {"service"})->id, "heat");
    EXPECT_EQ(pickTip(context, {"service", "heat"}), std::nullopt);

    // Dismissing the advice for one app leaves it for another.
    TipContext other = onBattery(300);
    other.heavy = heavy(5);
    other.heavy->path = "/Applications/Slack.app";
    EXPECT_EQ(pickTip(other, {"heavy-app:/Applications/Zoom.app"})->id, "heavy-app:/Applications/Slack.app");
}

TEST(Tips, LabelsAndButtonTitles) {
    EXPECT_EQ(label(Evidence::measured), "Measured on this Mac");
    EXPECT_EQ(label(Evidence::apple), "Apple guidance");
    EXPECT_EQ(label(Evidence::appleResearch), "Apple guidance, backed by research");
    const std::vector<std::pair<TipButton, std::string>> buttons{
        {Quit{"/Applications/Zoom.app", "Zoom"}, "Quit Zoom"}, {LowPower{}, "Turn on Low Power"},
        {SetLimit{}, "Set limit to 80%"},                      {FullOnce{}, "Charge to 100% once"},
        {AlertAt20{}, "Alert me at 20%"},                      {ShowSleep{}, "Show the nights"},
        {BatterySettings{}, "Open Battery settings"},
    };
    for (const auto& [button, expected] : buttons) EXPECT_EQ(title(button), expected);
}

TEST(Tips, PluggedShareOfTheLastWeek) {
    const Date now{1'780'000'000};
    // One sample an hour, going back `hours`; every tenth unplugged.
    auto history = [&](int hours) {
        std::vector<Sample> out;
        for (int h = hours; h >= 0; --h) out.push_back({now - h * 3600.0, 50, false, h % 10 != 0});
        return out;
    };
    EXPECT_NEAR(pluggedShare(history(139), now), 0.9, 1e-12);  // almost six days
    EXPECT_EQ(pluggedShare(history(20), now), 0);
    EXPECT_EQ(pluggedShare({}, now), 0);

    // Samples older than a week or in the future are not counted; the week's oldest decides the day rule.
    std::vector<Sample> edges{{now - 8 * 86'400.0, 50, false, false},
                              {now - 86'400.0, 50, false, true},
                              {now, 50, false, false},
                              {now + 60, 50, false, false}};
    EXPECT_EQ(pluggedShare(edges, now), 0.5);
    edges[1].time = now - 86'399;
    EXPECT_EQ(pluggedShare(edges, now), 0);
}

}  // namespace
}  // namespace norvane
