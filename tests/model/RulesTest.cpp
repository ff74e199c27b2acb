#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"
#include "tests/support/FakeHelperLink.h"

namespace norvane {
namespace {

using testing::Event;

// A model whose helper is set up and answers every request at once; the Mac's Low Power
// Mode is whatever pmset/settings.json says when it is read back.
struct RulesBench {
    ModelBench bench;
    std::shared_ptr<testing::FakeXpc> xpc = std::make_shared<testing::FakeXpc>(bench.queue);

    AppModel& start(const std::string& helperStatus = "enabled", std::vector<std::string> arguments = {}) {
        xpc->scripts = {{{0.1, Event::reply, std::nullopt}}};
        bench.writeInfoPlist();
        bench.home.write("Norvane.app/Contents/Library/LaunchDaemons/app.norvane.helper.plist",
                         "<plist><dict/></plist>");
        bench.machine.write("launchd/registrations.json", R"({"daemons": {"app.norvane.helper.plist": {"bundle": ")" +
                                                              bench.bundle().string() + R"(", "status": ")" +
                                                              helperStatus + R"("}}})");
        return bench.start(std::move(arguments), [&](System& system) {
            system.xpc = xpc;
            system.signing = std::make_shared<testing::FakeSigning>();
        });
    }
    void lowPowerTakes(bool on) const {
        bench.machine.write("pmset/settings.json",
                            std::string(R"({"Battery Power": {"lowpowermode": )") + (on ? "1" : "0") + "}}");
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const auto& record : bench.records("notifications/requests.jsonl"))
            out.push_back(*record.find("title")->asString());
        return out;
    }
};

TEST(ModelRules, LowPowerByItselfIsAnnouncedOnlyOnceItIsOnAndSwitchedBackOffUntilItIsOff) {
    // One tick per step, `after` seconds after the one before, then the helper's answer and
    // the read-back; `on` is the mode the Mac has from this step on.
    struct Step {
        double after;
        Battery battery;
        bool on;
        const char* sent;  // what the helper was asked this step: "on", "off" or nothing
        std::size_t announced;
        bool owed;
    };
    struct Case {
        const char* name;
        bool owed;  // at the start
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"fires once at the level, re-arms five above it or plugged in",
         false,
         {{0, onBattery(20), true, "on", 1, true},
          {40, onBattery(20), true, nullptr, 1, true},
          {5, onBattery(25), false, nullptr, 1, true},  // the user switches it off
          {5, onBattery(20), true, "on", 2, true},
          {40, plugged(20, true), true, nullptr, 2, true},
          {5, onBattery(21), false, nullptr, 2, true},
          {30, onBattery(20), true, "on", 3, true}}},
        {"a switch that does not take is not announced",
         false,
         {{0, onBattery(20), false, "on", 0, true},
          {5, onBattery(19), false, nullptr, 0, true},
          {30, onBattery(19), false, nullptr, 0, false}}},
        {"on wall power the battery's own setting decides what is owed",
         true,
         {{0, plugged(50, true), false, nullptr, 0, true},  // the charger's mode is off, the battery's on
          {40, plugged(50, true), false, nullptr, 0, false}}},  // the user switched the battery's off
        {"owed after a charge: off above the level plus five, again until it is off",
         true,
         {{0, onBattery(25), true, nullptr, 0, true},
          {5, onBattery(26), true, "off", 0, true},
          {5, onBattery(26), true, nullptr, 0, true},
          {30, onBattery(26), false, "off", 0, true},
          {30, onBattery(26), false, nullptr, 0, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RulesBench t;
        t.lowPowerTakes(c.owed);
        AppModel& m = t.start();
        m.setAutoLowPower(20);
        m.setLowPowerOwed(c.owed);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE(i);
            t.bench.queue.advance(step.after);
            t.bench.writeBattery(step.battery);
            const std::size_t before = t.xpc->sent.size();
            m.tick();
            t.lowPowerTakes(step.on);
            t.bench.run(0.6);
            ASSERT_EQ(t.xpc->sent.size(), before + (step.sent ? 1 : 0));
            if (step.sent) {
                EXPECT_EQ(*t.xpc->sent.back()->message.find("argument"),
                          Value::boolean(step.sent == std::string("on")));
            }
            EXPECT_EQ(t.titles().size(), step.announced);
            EXPECT_EQ(m.lowPowerOwed(), step.owed);
        }
        for (const auto& title : t.titles())
            EXPECT_EQ(title, "Low Power Mode is on");
    }
}

TEST(ModelRules, AHelperNotReadyOrBusyHoldsOnlyTheLowPowerRule) {
    for (const bool busy : {false, true}) {
        RulesBench t;
        AppModel& m = t.start(busy ? "enabled" : "requiresApproval");
        if (busy) ModelProbe(m).lowPowerBusy(true);
        m.setAutoLowPower(20);
        m.setAlertLow(30);
        t.bench.writeBattery(onBattery(20));
        m.tick();
        t.bench.run(0.6);
        EXPECT_TRUE(t.xpc->sent.empty()) << busy;
        EXPECT_EQ(t.titles(), std::vector<std::string>{"Battery at 20%"}) << busy;
    }
}

TEST(ModelRules, ThePowerLineInAFixedLocaleAndZone) {
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
