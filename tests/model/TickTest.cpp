#include <gtest/gtest.h>

#include "app/model/DefaultsKeys.h"
#include "tests/model/ModelProbe.h"
#include "tests/support/FakeHelperLink.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ScriptedBackend.h"

namespace norvane {
namespace {

// The notification centre as one more entry of a log.
struct LoggingCenter final : NotificationCenter {
    std::vector<std::string>& log;
    explicit LoggingCenter(std::vector<std::string>& l) : log(l) {}
    void setDelegate(NotificationCenterDelegate*) override {}
    void add(const NotificationRequest& request) override { log.push_back("notice " + request.content.title); }
    AuthorizationAnswer requestAuthorization(AuthorizationOptions) override { return {}; }
};

// The console as one more entry of a log.
struct LoggingConsole final : LineSink {
    std::vector<std::string>& log;
    explicit LoggingConsole(std::vector<std::string>& l) : log(l) {}
    void line(std::string_view) override { log.push_back("power line"); }
};

Draw drawAgo(Date now, double seconds, std::int64_t milliamps = 1200) { return {now - seconds, milliamps}; }

TEST(ModelTick, EveryStepInItsOrder) {
    ModelBench bench;
    std::vector<std::string> log;
    bench.writeInfoPlist("57");
    bench.machine.write("pmset/settings.json", R"({"Battery Power": {"lowpowermode": 1}})");
    Battery low = onBattery(10);
    bench.writeBattery(low);
    AppModel& m = bench.start({"--log-power", "--update-source", testing::LoopbackServer::refusedUrl()},
                              [&](System& s) {
                                  s.notifications = std::make_shared<LoggingCenter>(log);
                                  s.console = std::make_shared<LoggingConsole>(log);
                              });
    ModelProbe probe(m);
    const Date now = bench.queue.now();
    probe.draws({drawAgo(now, 100), drawAgo(now, 60), drawAgo(now, 20)});
    probe.quitEffect(QuitEffect{"Music", now - 700, 900});
    m.setAlertLow(50);
    probe.backend(std::make_shared<testing::ScriptedBackend>());
    m.setFullOnce(FullCharge{80, false});
    probe.awake(AwakeSession{AwakeMode::untilStopped(), now});
    probe.awakeState({AwakeStatus::Quiet{}});

    const std::vector<std::pair<ModelField, const char*>> watched{
        {ModelField::updateBusy, "update check"}, {ModelField::draws, "draws"}, {ModelField::battery, "battery"},
        {ModelField::forecast, "forecast"},       {ModelField::drain, "drain"}, {ModelField::drainEarly, "early"},
        {ModelField::usingWatts, "watts"},        {ModelField::quitEffect, "quit"}, {ModelField::lowPower, "low power"},
        {ModelField::flow, "charging"},           {ModelField::alerts, "alerts"}, {ModelField::history, "history"},
        {ModelField::health, "capacity"},         {ModelField::levelAlerts, "rules"}, {ModelField::fullOnce, "full once"},
        {ModelField::awakeState, "awake"}};
    std::vector<Observers::Subscription> subscriptions;
    for (const auto& [field, name] : watched)
        subscriptions.push_back(m.subscribe({field}, [&log, name = std::string(name)] { log.push_back(name); }));
    m.tick();
    EXPECT_EQ(log, (std::vector<std::string>{"update check", "draws", "battery", "forecast", "drain", "early", "watts",
                                             "quit", "power line", "low power", "charging", "alerts",
                                             "notice About 25m of battery left", "history", "capacity", "rules",
                                             "notice Battery at 10%", "full once", "awake"}));
}

TEST(ModelTick, WithoutABatteryNothingHappens) {
    ModelBench bench;
    bench.writeInfoPlist("57");
    AppModel& m = bench.start({"--log-power"});
    // A timer that ran out and a daily check that is due would both act on any other tick.
    ModelProbe(m).awake(AwakeSession{AwakeMode::timer(1), bench.queue.now() - 3600});
    int told = 0;
    std::vector<ModelField> all;
    for (int f = 0; f <= static_cast<int>(ModelField::showTime); ++f) all.push_back(static_cast<ModelField>(f));
    const auto subscription = m.subscribe(all, [&] { ++told; });
    m.tick();
    EXPECT_EQ(told, 0);
    EXPECT_TRUE(m.awake());
    EXPECT_FALSE(m.updateBusy());
    EXPECT_TRUE(bench.console->lines.empty());
}

TEST(ModelTick, TheRingOfDrawsAndWhereADrawComesFrom) {
    struct Case {
        const char* name;
        Battery battery;
        std::vector<std::string> arguments;
        const char* smc;  // smc/keys.json, or none
        std::optional<std::int64_t> added;
    };
    const char* live = R"({"keys": {"B0AC": {"type": "si16", "value": -1000}, "B0AV": {"type": "ui16", "value": 12000},
                                     "PDTR": {"type": "flt ", "value": 0.0}}})";
    const Case cases[] = {
        {"battery current on battery", onBattery(50), {}, nullptr, 1200},
        {"no current", [] { Battery b = onBattery(50); b.milliamps = 0; return b; }(), {}, nullptr, std::nullopt},
        {"plugged in", plugged(50, false, -500), {}, nullptr, std::nullopt},
        {"plugged in, pretending battery", plugged(50, false, -500), {"--on-battery"}, nullptr, 500},
        {"the live draw wins", onBattery(50), {}, live, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModelBench bench;
        if (c.smc) bench.machine.write("smc/keys.json", c.smc);
        bench.writeBattery(c.battery);
        AppModel& m = bench.start(c.arguments);
        ModelProbe probe(m);
        const Date now = bench.queue.now();
        probe.draws({drawAgo(now, 900.5, 1), drawAgo(now, 900, 2), drawAgo(now, 10, 3)});
        m.tick();
        std::vector<Draw> expected{drawAgo(now, 900, 2), drawAgo(now, 10, 3)};
        if (c.added) expected.push_back({now, *c.added});
        EXPECT_EQ(probe.draws(), expected);
    }
}

TEST(ModelTick, PercentOptionChangesOnlyThePublishedBattery) {
    const std::pair<std::vector<std::string>, std::int64_t> cases[] = {
        {{"--percent", "42"}, 42}, {{"--percent", "4x"}, 80}, {{"--percent"}, 80}, {{"--percent", "-3", "--percent", "9"}, -3}};
    for (const auto& [arguments, shown] : cases) {
        ModelBench bench;
        bench.writeBattery(onBattery(80));
        AppModel& m = bench.start(arguments);
        m.tick();
        EXPECT_EQ(m.battery().percent, shown);
        ASSERT_EQ(m.history().samples.size(), 1u);
        EXPECT_EQ(m.history().samples[0].percent, 80);
    }
}

TEST(ModelTick, ChargeHistoryOnceAMinuteAlsoAfterTheClockWentBack) {
    // The newest sample's age: 59 s none, 60 s one, from the future one.
    for (const auto& [age, sampled] : std::vector<std::pair<double, bool>>{{59, false}, {60, true}, {-3600, true}}) {
        ModelBench bench;
        bench.writeBattery(onBattery(50));
        AppModel& m = bench.start();
        ModelProbe probe(m);
        const Date now = bench.queue.now();
        probe.samples({{now - age, 51, false, false}});
        m.tick();
        ASSERT_EQ(m.history().samples.size(), sampled ? 2u : 1u) << age;
        EXPECT_EQ(m.health().points.size(), sampled ? 1u : 0u);  // today's capacity point goes with it
        const Sample newest = sampled ? Sample{now, 50, false, false} : Sample{now - age, 51, false, false};
        EXPECT_EQ(m.history().samples.back(), newest);
    }
}

TEST(ModelTick, AQuitsEffectLastsTenMinutesAndKeepsTheForecastMeanwhile) {
    for (const auto& [age, kept] : std::vector<std::pair<double, bool>>{{600, true}, {601, false}}) {
        ModelBench bench;
        bench.writeBattery(onBattery(50));
        AppModel& m = bench.start();
        ModelProbe probe(m);
        probe.quitEffect(QuitEffect{"Music", bench.queue.now() - age, 900});
        probe.forecast(Forecast{300, true, false});
        // One new draw is too few for a forecast of its own: the last one stays, marked early,
        // while the quit's effect does.
        m.tick();
        EXPECT_EQ(m.quitEffect().has_value(), kept) << age;
        EXPECT_EQ(m.forecast(), (Forecast{300, true, true}));
        m.tick();
        EXPECT_EQ(m.forecast(), kept ? std::optional(Forecast{300, true, true}) : std::nullopt) << age;
    }
}

TEST(ModelTick, PretendingBatteryShowsUnpluggedAndSilencesTheNotices) {
    ModelBench bench;
    bench.writeInfoPlist();
    Battery b = plugged(10, true, -1200);
    b.systemMinutes = 20;
    bench.writeBattery(b);
    AppModel& m = bench.start({"--on-battery"});
    m.setAlertLow(50);
    m.tick();
    EXPECT_FALSE(m.battery().plugged || m.battery().charging);
    EXPECT_EQ(m.history().samples.at(0), (Sample{bench.queue.now(), 10, false, false}));
    EXPECT_TRUE(bench.records("notifications/requests.jsonl").empty());
    // Without the pretence the same Mac notifies.
    ModelBench real;
    real.writeInfoPlist();
    real.writeBattery(onBattery(10));
    real.start().setAlertLow(50);
    real.model->tick();
    EXPECT_EQ(real.records("notifications/requests.jsonl").size(), 1u);
}

TEST(ModelTick, AChargeToFullOnceEndsFullOrUnplugged) {
    const std::tuple<Battery, std::vector<std::string>, bool> cases[] = {
        {plugged(100, false), {}, true},
        {plugged(99, true), {}, false},
        {onBattery(50), {}, true},
        {plugged(60, true), {"--percent", "100"}, true},
    };
    for (const auto& [battery, arguments, ends] : cases) {
        ModelBench bench;
        bench.writeBattery(battery);
        AppModel& m = bench.start(arguments);
        ModelProbe(m).backend(std::make_shared<testing::ScriptedBackend>());
        m.setFullOnce(FullCharge{80, true});
        m.tick();
        EXPECT_EQ(!m.fullOnce(), ends) << battery.percent;
    }
}

TEST(ModelTick, TheDemonstrationShowsFixedFiguresAndRecordsNothing) {
    ModelBench bench;
    bench.writeInfoPlist();
    bench.writeBattery(plugged(10, true));
    AppModel& m = bench.start({"--demo"});
    m.setAlertLow(50);
    const std::size_t history = m.history().samples.size();
    m.tick();
    const Battery& b = m.battery();
    EXPECT_TRUE(!b.plugged && !b.charging && b.milliamps == -1100);
    EXPECT_EQ(m.forecast(), (Forecast{340, true, false}));
    EXPECT_EQ(m.drain(), 9.4);
    EXPECT_EQ(m.usingWatts(), 12.6);
    EXPECT_FALSE(m.drainEarly());
    EXPECT_FALSE(m.health().points.empty());
    EXPECT_EQ(m.history().samples.size(), history);
    EXPECT_TRUE(bench.records("notifications/requests.jsonl").empty());
}

}  // namespace
}  // namespace norvane
