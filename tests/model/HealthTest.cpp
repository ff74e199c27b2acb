#include <gtest/gtest.h>

#include <filesystem>

#include "app/model/DefaultsKeys.h"
#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

using namespace charging_state;

// Each of the model's fields reaches the decision, whose rules the readings' tests cover.
TEST(ModelCharging, DecidedFromTheModelsOwnFields) {
    struct Case {
        const char* name;
        Battery battery;
        std::int64_t limit;
        std::optional<PowerFlow> flow;
        std::uint64_t reason;
        ChargingState expected;
    };
    const Case cases[] = {
        {"at the limit's margin", plugged(78, false), 80, {}, 0, Holding{80}},
        {"below it the bits decide", plugged(77, false), 80, {}, 0x1000004, Paused{}},
        {"weak adapter", plugged(60, false, -125), 80, PowerFlow{20.0, 20.0}, 0, WeakCharger{96}},
        {"charging at 0 mA", plugged(60, true, 0), 100, {}, 0, Charging{}},
    };
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    probe.charger(Charger{"96W USB-C", 96, false});
    std::vector<ChargingState> shown;
    const auto view = m.subscribe({AppModel::chargingFields.begin(), AppModel::chargingFields.end()},
                                  [&] { shown.push_back(m.charging()); });
    for (const auto& c : cases) {
        probe.battery(c.battery);
        probe.limit(c.limit);
        probe.flow(c.flow);
        probe.chargerFlags(c.reason);
        EXPECT_EQ(m.charging(), c.expected) << c.name;
    }
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), ChargingState(Charging{}));  // the view saw the last change
}

TEST(ModelTips, TheHeavyAppIsTheLargestOtherAppOrNone) {
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    const std::string own = bench.bundle().string();
    probe.battery(onBattery(60));
    probe.forecast(Forecast{200, true, false});
    probe.apps({{own, "Norvane", 50, 1}, {"/Applications/Slack.app", "Slack", 30, 3}, {"", "System", 20, 40}});
    const auto heavy = probe.tipContext().heavy;
    ASSERT_TRUE(heavy);
    EXPECT_EQ(std::tuple(heavy->path, heavy->share, heavy->gain),
              std::tuple("/Applications/Slack.app", 0.3, gainMinutes(std::int64_t{200}, 0.3)));
    // Under the impact floor the next one is not tried.
    probe.apps(
        {{own, "Norvane", 50, 1}, {"/Applications/Mail.app", "Mail", 9.9, 1}, {"/Applications/Zed.app", "Zed", 40, 1}});
    EXPECT_FALSE(probe.tipContext().heavy);
    probe.battery(plugged(60, true));
    probe.apps({{"/Applications/Slack.app", "Slack", 30, 3}});
    EXPECT_FALSE(probe.tipContext().heavy);
}

TEST(ModelTips, TheTipOnShowStaysAndADismissalLasts) {
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    probe.battery(onBattery(60));
    probe.optimisedOff(true);
    probe.updateTip();
    ASSERT_TRUE(m.tip());
    const std::string optimised = m.tip()->id;

    probe.forecast(Forecast{100, true, false});  // Low Power now applies, and comes earlier
    probe.updateTip();
    EXPECT_EQ(m.tip()->id, optimised);

    m.dismissTip();
    ASSERT_TRUE(m.tip());
    const std::string lowPower = m.tip()->id;
    EXPECT_NE(lowPower, optimised);
    EXPECT_EQ(bench.stored().stringArray(keys::dismissedTips), std::vector<std::string>{optimised});

    bench.model.reset();
    AppModel& again = bench.start();
    ModelProbe(again).battery(onBattery(60));
    ModelProbe(again).optimisedOff(true);
    ModelProbe(again).updateTip();
    EXPECT_FALSE(again.tip());  // Low Power needs a forecast; the other tip stays dismissed
    again.dismissTip();
    EXPECT_EQ(bench.stored().stringArray(keys::dismissedTips), std::vector<std::string>{optimised});
}

TEST(ModelHealth, ACapacityStaysUntilAReportHasANewOne) {
    ModelBench bench;
    AppModel& m = bench.start();
    const auto report = [&](const char* capacity, const char* condition) {
        bench.machine.write("system_profiler/SPPowerDataType.json",
                            std::string(R"({"SPPowerDataType": [{"_name": "spbattery_information",
              "sppower_battery_health_info": {"sppower_battery_health": ")") +
                                condition + "\"" + capacity + "}}]}");
        ModelProbe(m).refreshHealth();
        bench.queue.drain();
    };
    report(R"(, "sppower_battery_health_maximum_capacity": "91%")", "Good");
    EXPECT_EQ(m.systemHealth(), 91);
    EXPECT_FALSE(m.serviceRecommended());
    report("", "Service Recommended");
    EXPECT_EQ(m.systemHealth(), 91);
    EXPECT_TRUE(m.serviceRecommended());
}

struct FixedPlace final : SavePanel {
    std::optional<Path> place;
    std::vector<std::string> offered;
    std::optional<Path> ask(const std::string& suggestedName) override {
        offered.push_back(suggestedName);
        return place;
    }
};

TEST(ModelReport, TheFactsComeFromTheModelAndTheReportGoesWhereTheUserSays) {
    ModelBench bench;
    bench.machine.write("sysctl.txt", "hw.model: Mac15,6\nmachdep.cpu.brand_string: Apple M3 Pro\n");
    bench.machine.write("System/Library/CoreServices/SystemVersion.plist",
                        "<plist><dict><key>ProductVersion</key><string>26.1.2</string></dict></plist>");
    const Path dbus = bench.machine.write("usr/bin/dbus-send", "#!/bin/sh\n");
    std::filesystem::permissions(dbus, std::filesystem::perms::owner_all);
    const auto panel = std::make_shared<FixedPlace>();
    AppModel& m = bench.start({}, [&](System& system) { system.savePanel = panel; });
    ModelProbe probe(m);
    Battery b = onBattery(50);
    b.nominal = 4800, b.design = 5000, b.cycles = 80;
    probe.battery(b);
    probe.limit(80);
    probe.health(HealthTrend{{{"2026-11-03", 4900, std::nullopt, 70}, {"2026-12-08", 4800, 96, 80}}});

    const BatteryReportFacts facts = m.batteryReportFacts();
    EXPECT_EQ(facts.mac + " | " + facts.system, "Mac15,6 \u00B7 Apple M3 Pro | macOS 26.1.2");
    EXPECT_EQ(facts.health, 96);  // the battery's own figure while the system's is unknown
    EXPECT_EQ(std::tie(facts.capacity, facts.design, facts.cycles, facts.limit), std::make_tuple(4800, 5000, 80, 80));
    EXPECT_TRUE(facts.since == "2026-11-03" && facts.months.size() == 2);

    m.saveBatteryReport();  // cancelled
    panel->place = bench.home / "missing/report.html";
    m.saveBatteryReport();
    EXPECT_EQ(m.lowPowerNote(), "The report could not be saved: No such file or directory");
    panel->place = bench.home / "report.html";
    m.saveBatteryReport();
    EXPECT_TRUE(readFile(bench.home / "report.html").value_or("").starts_with("<!doctype html>"));
    EXPECT_EQ(bench.records("workspace/selected.jsonl").size(), 1u);
    EXPECT_EQ(panel->offered, std::vector<std::string>(3, "Norvane battery report 2026-12-08.html"));
}

}  // namespace
}  // namespace norvane
