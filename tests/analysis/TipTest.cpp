#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "app/analysis/Tip.h"

namespace norvane {
namespace {

using namespace tip_button;

constexpr auto lowest = std::numeric_limits<std::int64_t>::min();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Plugged in at 60 %, nothing to say.
TipContext quiet() {
    TipContext c;
    c.battery.percent = 60;
    c.battery.plugged = true;
    return c;
}

void unplug(TipContext& c, std::optional<std::int64_t> minutes) {
    c.battery.plugged = false;
    c.forecastMinutes = minutes;
}

HeavyApp zoom(std::optional<std::int64_t> gain) {
    return {"/Applications/Zoom.app", "Zoom", 0.424, false, true, "Leave the call when it ends", gain, false};
}

// 7 h 05 min asleep.
SleepStretch sleep(std::int64_t before, std::int64_t after, std::int64_t wakes,
                   std::map<std::string, std::int64_t> reasons = {}) {
    return {Date{1'780'000'000}, Date{1'780'025'530}, before, after, true, wakes, std::move(reasons)};
}

// Every tip applies.
TipContext everything() {
    TipContext c = quiet();
    unplug(c, 30);
    c.battery.charging = c.runningHot = c.serviceRecommended = c.limitAvailable = c.optimisedOff = c.ranNearlyEmpty =
        c.held = true;
    c.pluggedShare = 1;
    c.heavy = zoom(3);
    c.lastSleep = sleep(50, 40, 3, {{"lid or keyboard", 1}, {"network", 2}});
    return c;
}

TEST(Tips, ConditionsAndOrder) {
    struct Case {
        const char* what;
        void (*change)(TipContext&);
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases{
        {"nothing applies", [](TipContext&) {}, {}},
        {"hot but not charging", [](TipContext& c) { c.runningHot = true; }, {}},
        {"45 minutes in Low Power", [](TipContext& c) { unplug(c, 45), c.lowPower = true; }, {"dim"}},
        {"119 minutes", [](TipContext& c) { unplug(c, 119); }, {"low-power"}},
        {"120 minutes", [](TipContext& c) { unplug(c, 120); }, {}},
        {"no forecast", [](TipContext& c) { unplug(c, std::nullopt); }, {}},
        // On the charger: no app, Low Power or dim tips.
        {"on the charger", [](TipContext& c) { c.forecastMinutes = 45, c.heavy = zoom(12); }, {}},
        {"plugged 69% of the week", [](TipContext& c) { c.limitAvailable = true, c.pluggedShare = 0.69; }, {}},
        {"plugged 70%", [](TipContext& c) { c.limitAvailable = true, c.pluggedShare = 0.7; }, {"charge-limit"}},
        {"limit set", [](TipContext& c) { c.limitAvailable = true, c.pluggedShare = 1, c.limit = 80; }, {}},
        {"plugged, no limit offered", [](TipContext& c) { c.pluggedShare = 1; }, {}},
        {"optimised off with a limit", [](TipContext& c) { c.optimisedOff = true, c.limit = 80; }, {}},
        {"ran empty with an alert set", [](TipContext& c) { c.ranNearlyEmpty = true, c.lowAlert = 10; }, {}},
        {"slept 80 to 76", [](TipContext& c) { c.lastSleep = sleep(80, 76, 0); }, {}},
        {"slept 80 to 75", [](TipContext& c) { c.lastSleep = sleep(80, 75, 0); }, {"sleep-drain"}},
        {"slept plugged", [](TipContext& c) { c.lastSleep = sleep(80, 5, 0), c.lastSleep->onBattery = false; }, {}},
        {"integer's ends", [](TipContext& c) { c.lastSleep = sleep(lowest, 1, 0); }, {}},
        {"held with a full charge running", [](TipContext& c) { c.held = c.limitAvailable = c.fullOnce = true; }, {}},
        {"held, no limit offered", [](TipContext& c) { c.held = true; }, {}},
        {"everything, in order of priority",
         [](TipContext& c) { c = everything(); },
         {"service", "heat", "heavy-app:/Applications/Zoom.app", "low-power", "dim", "charge-limit",
          "optimized-charging", "no-deep-discharge", "sleep-drain", "full-once"}},
    };
    for (const auto& c : cases) {
        TipContext context = quiet();
        c.change(context);
        std::vector<std::string> ids;
        for (const auto& tip : tips(context))
            ids.push_back(tip.id);
        EXPECT_EQ(ids, c.expected) << c.what;
    }
}

// A tip as the panel shows it: texts, evidence, source titles and button.
struct Shown {
    std::string line, action, effect, why;
    Evidence evidence;
    std::vector<std::string> sources;
    std::optional<TipButton> button;
    bool operator==(const Shown&) const = default;
};

TEST(Tips, EveryTipWordForWord) {
    const std::string maximizing = "Apple: Maximizing battery performance";
    const std::string optimized = "Apple: About Optimized Battery Charging on your Mac";
    const std::vector<Shown> expected{
        {"The battery needs service",
         "Book a battery replacement with Apple or an authorised service. Battery settings show the condition.",
         "A new battery brings the capacity back. Until then the Mac is safe to use, Apple says: it only holds less "
         "charge.",
         "macOS reports Service Recommended.",
         Evidence::apple,
         {"Apple: Check your Mac laptop battery's health"},
         BatterySettings{}},
        {"It's hot: charge later if you can",
         "Unplug the charger, or move the Mac somewhere cooler, and charge once it has cooled down.",
         "Less wear: Apple says heat above 35 °C can permanently reduce capacity, and charging in heat adds to it.",
         "macOS reports that the Mac is running hot while it charges.",
         Evidence::appleResearch,
         {maximizing, "BU-808: How to Prolong Lithium-based Batteries"},
         std::nullopt},
        {"Zoom takes 42% of the energy",
         "Leave the call when it ends.",
         "About +3m at the current draw. An estimate from its share of the energy. After you quit, Norvane measures "
         "what really changed.",
         "Zoom has used 42% of the measured energy for more than two minutes.",
         Evidence::measured,
         {},
         Quit{"/Applications/Zoom.app", "Zoom"}},
        {"Low Power Mode adds time when you need it",
         "Switch Low Power Mode on until you can plug in.",
         "Apple gives no figure, and it depends on what you are doing. The time left above is measured again within "
         "seconds, so you will see what it gave.",
         "On battery with about 30m left.",
         Evidence::apple,
         {"Apple: About Power Modes on your Mac"},
         LowPower{}},
        {"Dim the screen to stretch this charge",
         "Lower the brightness with the F1 key or in Control Centre, to the dimmest level that is still comfortable.",
         "This is Apple's own advice for the longest battery life; Apple gives no figure. Watch the time left above "
         "after you dim.",
         "On battery with under an hour left.",
         Evidence::apple,
         {maximizing},
         std::nullopt},
        {"Mostly plugged in? Set a charge limit",
         "Set the charge limit to 80%. macOS then stops charging there and resumes after a small drop.",
         "Less time spent at full charge, which is what wears a battery. How much that saves on a MacBook nobody has "
         "measured.",
         "This Mac spent 100% of the last week on the charger.",
         Evidence::appleResearch,
         {optimized, "Calendar Aging of Lithium-Ion Batteries: I. Impact of the Graphite Anode on Capacity Fade"},
         SetLimit{}},
        {"Optimized Battery Charging is off",
         "Switch Optimized Battery Charging on in Battery settings, or set a charge limit here.",
         "Apple designed it to lengthen battery lifespan by cutting the time spent fully charged. Apple gives no "
         "figure.",
         "It is switched off, and no charge limit is set.",
         Evidence::apple,
         {optimized},
         BatterySettings{}},
        {"It ran nearly empty: get a reminder sooner",
         "Let Norvane notify you at 20%, and plug in then.",
         "Fewer deep discharges. In lab tests they wore cells out faster than shallow ones; Apple says there is no "
         "need to run a battery down.",
         "The battery dropped to 5% or lower in the last three days.",
         Evidence::appleResearch,
         {"Apple: Why lithium-ion?",
          "Degradation of Commercial Lithium-Ion Cells as a Function of Chemistry and Cycling Conditions"},
         AlertAt20{}},
        {"It lost 10% while asleep",
         "Look at the last nights in Stats: they show how often the Mac woke and for what.",
         "Knowing the cause is the first step; Norvane cannot stop the wakes itself. Closing the app behind them, or "
         "the lid on a charger, usually does.",
         "The last sleep on battery took 10% in 7h 05m, with 3 wakes, mostly network.",
         Evidence::measured,
         {},
         ShowSleep{}},
        {"Need a full battery today? Charge to 100% once",
         "Ask for one full charge before you leave the desk.",
         "macOS starts charging within a few minutes and holds the charge again afterwards. It is the same as Charge "
         "to Full Now in the battery menu.",
         "The charge is being held at 60% on purpose, by macOS.",
         Evidence::apple,
         {optimized},
         FullOnce{}},
    };
    const auto all = tips(everything());
    ASSERT_EQ(all.size(), expected.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::vector<std::string> sources;
        for (const auto& s : all[i].sources)
            sources.push_back(s.name);
        const Shown shown{all[i].line,     all[i].action, all[i].effect, all[i].why,
                          all[i].evidence, sources,       all[i].button};
        EXPECT_EQ(shown, expected[i]) << all[i].id;
    }
}

TEST(Tips, TextsThatFollowTheFacts) {
    struct Case {
        void (*change)(TipContext&);
        std::string id;
        std::string Tip::*field;
        std::string expected;
    };
    const std::string zoomTip = "heavy-app:/Applications/Zoom.app";
    const std::vector<Case> cases{
        {[](TipContext& c) { c.health = 78; }, "service", &Tip::why,
         "macOS reports Service Recommended: the battery holds 78% of what it did when new."},
        {[](TipContext& c) { c.batteryTemperature = 36.6; }, "heat", &Tip::why,
         "macOS reports that the Mac is running hot while it charges; the battery is at 37°."},
        {[](TipContext& c) { c.heavy->gain.reset(); }, zoomTip, &Tip::effect,
         "Not measured yet: Norvane needs about 15 seconds of readings on battery before it can estimate the gain."},
        {[](TipContext& c) { c.heavy->gain = 0; }, zoomTip, &Tip::effect,
         "Under a minute at the current draw: it matters less than its share suggests."},
        {[](TipContext& c) { c.heavy->gain = 65, c.heavy->early = true; }, zoomTip, &Tip::effect,
         "About +1h 05m at the current draw: a first estimate, it settles within two minutes. After you quit, Norvane "
         "measures what really changed."},
        {[](TipContext& c) { c.heavy->sustained = false; }, zoomTip, &Tip::why,
         "Zoom has used 42% of the measured energy in the last readings."},
        {[](TipContext& c) { c.heavy->share = nan; }, zoomTip, &Tip::line, "Zoom takes 0% of the energy"},
        {[](TipContext& c) { c.pluggedShare = 0.866; }, "charge-limit", &Tip::why,
         "This Mac spent 87% of the last week on the charger."},
        {[](TipContext& c) {
             c.lastSleep = sleep(80, 75, 0, {{"network", 2}});
         },
         "sleep-drain", &Tip::why, "The last sleep on battery took 5% in 7h 05m."},
        {[](TipContext& c) { c.lastSleep = sleep(80, 75, 1); }, "sleep-drain", &Tip::why,
         "The last sleep on battery took 5% in 7h 05m, with 1 wakes."},
        {[](TipContext& c) { c.limitAvailable = true, c.battery.percent = 80, c.limit = 80; }, "full-once", &Tip::why,
         "The charge is being held at 80% on purpose, by your 80% limit."},
    };
    for (const auto& c : cases) {
        TipContext context = everything();
        c.change(context);
        const auto all = tips(context);
        const auto tip = std::find_if(all.begin(), all.end(), [&](const Tip& t) { return t.id == c.id; });
        ASSERT_NE(tip, all.end()) << c.expected;
        EXPECT_EQ((*tip).*c.field, c.expected);
    }
    // Quitting the app the user works in is not offered.
    TipContext working = everything();
    working.heavy->inUse = true;
    EXPECT_EQ(tips(working)[2].button, std::nullopt);
}

TEST(Tips, PickSkipsDismissedIds) {
    const TipContext context = everything();
    EXPECT_EQ(pickTip(context, {})->id, "service");
    EXPECT_EQ(pickTip(context, {"service"})->id, "heat");
    TipContext slack = quiet();
    unplug(slack, 300);
    slack.heavy = zoom(5);
    slack.heavy->path = "/Applications/Slack.app";
    // Dismissing the advice for one app leaves it for another.
    EXPECT_EQ(pickTip(slack, {"heavy-app:/Applications/Zoom.app"})->id, "heavy-app:/Applications/Slack.app");
    EXPECT_EQ(pickTip(slack, {"heavy-app:/Applications/Slack.app"}), std::nullopt);
}

TEST(Tips, LabelsAndButtonTitles) {
    EXPECT_EQ(label(Evidence::measured), "Measured on this Mac");
    EXPECT_EQ(label(Evidence::apple), "Apple guidance");
    EXPECT_EQ(label(Evidence::appleResearch), "Apple guidance, backed by research");
    const std::vector<std::pair<TipButton, std::string>> buttons{
        {Quit{"/Applications/Zoom.app", "Zoom"}, "Quit Zoom"},
        {LowPower{}, "Turn on Low Power"},
        {SetLimit{}, "Set limit to 80%"},
        {FullOnce{}, "Charge to 100% once"},
        {AlertAt20{}, "Alert me at 20%"},
        {ShowSleep{}, "Show the nights"},
        {BatterySettings{}, "Open Battery settings"},
    };
    for (const auto& [button, expected] : buttons)
        EXPECT_EQ(title(button), expected);
}

TEST(Tips, PluggedShareOfTheLastWeek) {
    const Date now{1'780'000'000};
    // One sample an hour back to `hours` ago, every tenth one unplugged.
    auto hourly = [&](int hours) {
        std::vector<Sample> out;
        for (int h = hours; h >= 0; --h)
            out.push_back({now - h * 3600.0, 50, false, h % 10 != 0});
        return out;
    };
    EXPECT_NEAR(pluggedShare(hourly(139), now), 0.9, 1e-12);  // almost six days
    EXPECT_EQ(pluggedShare(hourly(20), now), 0);
    EXPECT_EQ(pluggedShare({}, now), 0);
    // Older than a week or in the future: not counted; the oldest counted decides the day rule.
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
