#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

TEST(ModelSituation, TheFirstRuleThatAppliesDecides) {
    struct Case {
        const char* name;
        Battery battery;
        std::int64_t limit;
        std::optional<std::int64_t> forecast;
        double slackImpact;  // of 100 in all
        std::optional<double> usual;
        Situation expected;
    };
    using namespace situation;
    using Heavy = situation::HeavyApp;
    const double fast = 30, slow = 10;  // usual drains against a drain of 15
    const Case cases[] = {
        {"charging at 100 %", plugged(100, true), 100, 40, 0, {}, Charging{40}},
        {"holding", plugged(78, false), 80, {}, 0, {}, Holding{78, 80}},
        {"under the margin", plugged(77, false), 80, {}, 0, {}, PluggedIdle{77}},
        {"99 % without a limit", plugged(99, false), 100, {}, 0, {}, PluggedIdle{99}},
        {"full", plugged(100, false), 100, {}, 0, {}, Full{}},
        {"no forecast at 5 %", onBattery(5), 100, {}, 0, {}, Estimating{}},
        {"29 minutes", onBattery(90), 100, 29, 0, {}, Low{29}},
        {"10 %", onBattery(10), 100, 600, 0, {}, Low{600}},
        {"share 0.29, fast", onBattery(60), 100, 300, 29, slow, Faster{"Slack", 0.29, 300}},
        {"share 0.29, usual", onBattery(60), 100, 300, 29, fast, Plenty{300}},
        {"share 0.3, usual", onBattery(60), 100, 300, 30, fast, Heavy{"Slack", 0.3, 300}},
        {"share 0.3, fast", onBattery(60), 100, 300, 30, slow, Faster{"Slack", 0.3, 300}},
        {"no usual drain yet", onBattery(60), 100, 300, 30, {}, Heavy{"Slack", 0.3, 300}},
        {"usual drain of 0", onBattery(60), 100, 300, 30, 0.0, Heavy{"Slack", 0.3, 300}},
    };
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    probe.drain(15);
    for (const auto& c : cases) {
        probe.battery(c.battery);
        probe.limit(c.limit);
        probe.forecast(c.forecast ? std::optional(Forecast{*c.forecast, true, false}) : std::nullopt);
        // The system's own processes lead, but never count as the top app.
        probe.apps({{"", "System", 40, 90}, {"/Applications/Slack.app", "Slack", c.slackImpact, 3},
                    {"/Applications/Mail.app", "Mail", 60 - c.slackImpact, 1}});
        probe.usual(c.usual);
        EXPECT_EQ(m.currentSituation(), c.expected) << c.name;
    }
}

TEST(ModelSituation, ASleepHeadsTheSummaryForHalfAnHour) {
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    probe.battery(onBattery(60));
    probe.forecast(Forecast{300, true, false});
    const Date now = bench.queue.now();
    for (const auto& [ago, heads] : std::vector<std::pair<double, bool>>{{29 * 60, true}, {30 * 60, false}}) {
        const SleepStretch night{now - 8 * 3600, now - ago, 80, 74, true, 12, {{"notifications", 12}}};
        probe.sleeps({night});
        EXPECT_EQ(m.sleepNote().has_value(), heads) << ago;
        EXPECT_EQ(m.headline() == sleepSummary(night), heads) << ago;
    }
    // Not charging on the charger, with a charge to full asked for: that speaks first.
    probe.sleeps({});
    probe.battery(plugged(80, false));
    m.setFullOnce(FullCharge{80, false});
    EXPECT_EQ(m.headline(), (Headline{"Charging to 100% once", "macOS starts within a few minutes"}));
    probe.battery(plugged(100, false));
    EXPECT_EQ(m.headline(), templateHeadline(situation::Full{}, now, {}));
}

TEST(ModelSituation, TheModelWordsTheSummaryAtMostOnceInHalfAnHour) {
    ModelBench bench;
    for (const char* file : {"language-model/model.json", "System/Library/CoreServices/SystemVersion.plist"})
        bench.machine.write(file, *readFile(Machine::templateFolder() / file));
    AppModel& m = bench.start();
    ModelProbe probe(m);
    const auto requests = [&] {
        const auto log = readFile(bench.machine.root() / "language-model/requests.jsonl");
        return log ? std::count(log->begin(), log->end(), '\n') : 0;
    };
    probe.battery(onBattery(60));
    probe.forecast(Forecast{300, true, false});
    probe.refreshWording();
    bench.queue.drain();
    EXPECT_TRUE(m.aiAvailable());
    EXPECT_EQ(requests(), 1);
    EXPECT_TRUE(m.headlineByAI());
    EXPECT_EQ(m.headline().title, "You're set until 15:00");

    // Under 20 % on battery the fixed words speak, and nothing is asked.
    probe.battery(onBattery(19));
    EXPECT_FALSE(m.headlineByAI());
    EXPECT_EQ(m.headline(), templateHeadline(m.currentSituation(), bench.queue.now(),
                                             [](Date d) { return DateFormatter("en_GB", "UTC").shortTime(d); }));

    // Another kind of situation ten minutes later waits for the half hour.
    probe.battery(onBattery(60));
    probe.forecast(Forecast{25, true, false});
    bench.queue.advance(600);
    probe.refreshWording();
    bench.queue.drain();
    EXPECT_EQ(requests(), 1);
    bench.queue.advance(1200);
    probe.refreshWording();
    bench.queue.drain();
    EXPECT_EQ(requests(), 2);
    EXPECT_EQ(probe.wordings().size(), 2u);
}

TEST(ModelSituation, MenuTextShowsTheTimeOnlyOnBatteryWithAForecast) {
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    probe.battery(onBattery(72));
    EXPECT_EQ(m.menuText(), "72%");
    probe.forecast(Forecast{185, true, false});
    EXPECT_EQ(m.menuText(), "72% \u00B7 3:05");
    m.setShowTime(false);
    EXPECT_EQ(m.menuText(), "72%");
    m.setShowTime(true);
    probe.battery(plugged(72, true));
    EXPECT_EQ(m.menuText(), "72%");
}

}  // namespace
}  // namespace norvane
