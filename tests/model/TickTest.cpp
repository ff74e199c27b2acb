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

Draw drawAgo(Date now, double seconds, std::int64_t milliamps = 1200) {
    return {now - seconds, milliamps};
}

TEST(ModelTick, EveryStepInItsOrder) {
    ModelBench bench;
    std::vector<std::string> log;
    bench.writeInfoPlist("57");
    bench.machine.write("pmset/settings.json", R"({"Battery Power": {"lowpowermode": 1}})");
    bench.writeBattery(onBattery(10));
    AppModel& m =
        bench.start({"--log-power", "--update-source", testing::LoopbackServer::refusedUrl()}, [&](System& s) {
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

    using enum ModelField;
    const std::pair<ModelField, const char*> watched[] = {
        {updateBusy, "update check"}, {draws, "draws"},       {battery, "battery"},
        {forecast, "forecast"},       {drain, "drain"},       {drainEarly, "early"},
        {usingWatts, "watts"},        {quitEffect, "quit"},   {lowPower, "low power"},
        {flow, "charging"},           {alerts, "alerts"},     {history, "history"},
        {health, "capacity"},         {levelAlerts, "rules"}, {fullOnce, "full once"},
        {awakeState, "awake"},
    };
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
    for (const bool truncated : {false, true}) {
        ModelBench bench;
        bench.writeInfoPlist("57");
        // A dump cut short reads as no battery too, and the system log says which file once.
        if (truncated) bench.machine.write("ioreg/AppleSmartBattery.plist", "<plist><array><dict><key>Amp");
        AppModel& m = bench.start({"--log-power"});
        // A timer that ran out and a daily check that is due would both act on any other tick.
        ModelProbe(m).awake(AwakeSession{AwakeMode::timer(1), bench.queue.now() - 3600});
        m.tick();
        m.tick();
        EXPECT_TRUE(m.awake() && !m.updateBusy() && m.history().samples.empty() && bench.console->lines.empty());
        const std::string log = readFile(bench.machine.root() / "log/system.log").value_or("");
        EXPECT_EQ(splitNonEmpty(log, '\n').size(), truncated ? 1u : 0u) << log;
        EXPECT_EQ(log.find("AppleSmartBattery.plist: not a property list") != std::string::npos, truncated);
    }
}

TEST(ModelTick, AMacWithoutABatteryIsOneOnWallPowerWithoutACharge) {
    ModelBench bench;
    AppModel& m = bench.start({}, [](System& s) { s.processes = std::make_shared<FakeProcesses>(); });
    ModelProbe probe(m);
    probe.battery(onBattery(50));  // what a reading left, or the empty start
    m.tick();
    EXPECT_EQ(std::tuple(m.hasBattery(), m.battery().plugged, m.battery().percent), std::tuple(false, true, 0));
    EXPECT_EQ(m.menuText(), "No battery");
    EXPECT_EQ(m.headline(), (Headline{"No battery", "Running on wall power"}));
    probe.updateTip();
    EXPECT_FALSE(m.tip());
    // Keep-awake holds as on wall power: neither "on battery" nor under its floor.
    m.setAwakePowerOnly(true);
    m.startAwake(AwakeMode::untilStopped());
    EXPECT_TRUE(std::holds_alternative<AwakeStatus::Holding>(m.awakeState().value));
    m.stopAwake();

    bench.writeBattery(onBattery(72));  // a battery after all (a dump dropped in)
    m.tick();
    EXPECT_EQ(std::pair(m.hasBattery(), m.menuText()), std::pair(true, std::string("72%")));
}

TEST(ModelTick, TheRingKeeps900SecondsAndFallsBackOnTheBatteryCurrentOnBattery) {
    const char* live = R"({"keys": {"B0AC": {"type": "si16", "value": -1000}, "B0AV": {"type": "ui16", "value": 12000},
                                     "PDTR": {"type": "flt ", "value": 0.0}}})";
    Battery idle = onBattery(50);
    idle.milliamps = 0;
    const std::tuple<Battery, std::vector<std::string>, const char*, std::optional<std::int64_t>> cases[] = {
        {onBattery(50), {}, nullptr, 1200},
        {idle, {}, nullptr, std::nullopt},
        {plugged(50, false, -500), {}, nullptr, std::nullopt},
        {plugged(50, false, -500), {"--on-battery"}, nullptr, 500},
        {onBattery(50), {}, live, 1000},  // the SMC's live draw wins
    };
    for (const auto& [battery, arguments, smc, added] : cases) {
        ModelBench bench;
        if (smc) bench.machine.write("smc/keys.json", smc);
        bench.writeBattery(battery);
        ModelProbe probe(bench.start(arguments));
        const Date now = bench.queue.now();
        probe.draws({drawAgo(now, 900.5, 1), drawAgo(now, 900, 2)});
        bench.model->tick();
        std::vector<Draw> expected{drawAgo(now, 900, 2)};
        if (added) expected.push_back({now, *added});
        EXPECT_EQ(probe.draws(), expected) << battery.milliamps;
    }
}

TEST(ModelTick, PercentAndThePretenceChangeOnlyWhatIsShown) {
    ModelBench bench;
    bench.writeInfoPlist();
    Battery b = plugged(10, true, -1200);
    b.systemMinutes = 20;  // a low-time alert would be due
    bench.writeBattery(b);
    AppModel& m = bench.start({"--on-battery", "--percent", "42", "--percent", "7"});
    m.setAlertLow(50);
    m.tick();
    EXPECT_TRUE(m.battery().percent == 42 && !m.battery().plugged && !m.battery().charging);
    EXPECT_EQ(m.history().samples.at(0), (Sample{bench.queue.now(), 10, false, false}));
    EXPECT_TRUE(bench.records("notifications/requests.jsonl").empty());
}

TEST(ModelTick, ChargeHistoryOnceAMinuteAlsoAfterTheClockWentBack) {
    // The newest sample's age: 59 s none, 60 s one, from the future one.
    for (const auto& [age, sampled] : std::vector<std::pair<double, bool>>{{59, false}, {60, true}, {-3600, true}}) {
        ModelBench bench;
        bench.writeBattery(onBattery(50));
        ModelProbe probe(bench.start());
        const Date now = bench.queue.now();
        probe.samples({{now - age, 51, false, false}});
        bench.model->tick();
        EXPECT_EQ(bench.model->history().samples.back().time, sampled ? now : now - age);
        EXPECT_EQ(bench.model->health().points.size(), sampled ? 1u : 0u);  // today's capacity goes with it
    }
}

TEST(ModelTick, AQuitsEffectLastsTenMinutesAndKeepsTheForecastMeanwhile) {
    for (const auto& [age, kept] : std::vector<std::pair<double, bool>>{{600, true}, {601, false}}) {
        ModelBench bench;
        bench.writeBattery(onBattery(50));
        ModelProbe probe(bench.start());
        probe.quitEffect(QuitEffect{"Music", bench.queue.now() - age, 900});
        probe.forecast(Forecast{300, true, false});
        // One new draw is too few for a forecast of its own: the last one stays, marked early.
        bench.model->tick();
        EXPECT_EQ(bench.model->quitEffect().has_value(), kept) << age;
        bench.model->tick();
        EXPECT_EQ(bench.model->forecast(), kept ? std::optional(Forecast{300, true, true}) : std::nullopt) << age;
    }
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

TEST(ModelTick, ThePowerLineInAFixedLocaleAndZone) {
    ModelBench bench;
    ModelProbe probe(bench.start({}, [](System& system) { system.formatter = DateFormatter("en_US", "UTC"); }));
    const Date now = bench.queue.now();
    probe.logPower(now);
    std::vector<Draw> draws;
    for (int i = 23; i >= 0; --i)
        draws.push_back({now - i * 5.0, i == 0 ? 912 : 900});
    probe.draws(draws);
    probe.battery(onBattery(50));
    probe.usingWatts(10.84);
    probe.forecast(Forecast{331, true, false});
    probe.apps({{"/Applications/Mail.app", "Mail", 41.9, 1}, {"", "System", 58.1, 9}});
    probe.quitEffect(QuitEffect{"Music", now, 1025});
    probe.logPower(now);
    EXPECT_EQ(bench.console->lines,
              (std::vector<std::string>{"10:00:00\u202FAM readings 0 live 0 mA average -",
                                        "10:00:00\u202FAM readings 24 live 912 mA average 10.8 W settled left 5:31 "
                                        "settled top Mail 41% | after quitting Music: 12.3 W -> 10.8 W gain 20m "
                                        "(first reading)"}));
}

}  // namespace
}  // namespace norvane
