#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"
#include "tests/support/FakeHelperLink.h"

namespace norvane {
namespace {

using testing::Event;

Value request(const char* selector, Value argument) {
    return Value::dictionary({{"selector", Value::string(selector)}, {"argument", std::move(argument)}});
}

// A model whose helper is in the bundle, registered through the machine's service
// management with the given status (none: not yet), and answers from a script. The Mac's
// Low Power Mode is whatever pmset/settings.json says when it is read back.
struct HelperBench {
    ModelBench bench;
    std::shared_ptr<testing::FakeXpc> xpc = std::make_shared<testing::FakeXpc>(bench.queue);

    HelperBench() { xpc->scripts = {{{0.1, Event::reply, std::nullopt}}}; }  // every request answered at once

    AppModel& start(const std::string& status = "") {
        bench.writeInfoPlist();
        bench.home.write("Norvane.app/Contents/Library/LaunchDaemons/app.norvane.helper.plist",
                         "<plist><dict/></plist>");
        if (!status.empty()) helper(status);
        return bench.start({}, [&](System& system) {
            system.xpc = xpc;
            system.signing = std::make_shared<testing::FakeSigning>();
        });
    }
    void helper(const std::string& status) const {
        bench.machine.write("launchd/registrations.json", R"({"daemons": {"app.norvane.helper.plist": {"bundle": ")" +
                                                              bench.bundle().string() + R"(", "status": ")" + status +
                                                              R"("}}})");
    }
    void lowPowerTakes(bool on) const {
        bench.machine.write("pmset/settings.json",
                            std::string(R"({"Battery Power": {"lowpowermode": )") + (on ? "1" : "0") + "}}");
    }
    std::vector<std::string> titles() const { return bench.texts("notifications/requests.jsonl", "title"); }
};

TEST(ModelEnergy, ASwitchWaitsForTheHelperAndRunsOnceWhenItIsReady) {
    HelperBench t;
    AppModel& m = t.start();
    ModelProbe probe(m);
    m.setLowPowerOwed(true);
    m.toggleLowPower();
    EXPECT_TRUE(t.xpc->sent.empty());
    EXPECT_TRUE(m.helperCard());
    EXPECT_TRUE(probe.afterSetup());
    EXPECT_FALSE(m.lowPowerBusy() || m.lowPowerOwed() || m.lowPowerNote());

    // What the helper's pmset will have done by the time Low Power is read back.
    t.bench.machine.write("pmset/settings.json", R"({"AC Power": {"lowpowermode": 1}})");
    m.installHelper();
    EXPECT_EQ(m.helperState(), HelperState(helper_state::Ready{}));
    EXPECT_FALSE(m.helperCard() || probe.afterSetup());
    ASSERT_EQ(t.xpc->sent.size(), 1u);
    EXPECT_EQ(t.xpc->sent[0]->message, request("setLowPower:reply:", Value::boolean(true)));
    EXPECT_TRUE(m.lowPowerBusy());
    t.bench.run(0.1);
    EXPECT_FALSE(m.lowPower());  // read back only 0.4 s after the answer
    t.bench.run(0.4);
    EXPECT_TRUE(m.lowPower());
    EXPECT_FALSE(m.lowPowerBusy() || m.lowPowerNote());
    m.installHelper();
    EXPECT_EQ(t.xpc->sent.size(), 1u);  // it ran once

    // An action that parks another one leaves that one parked.
    int second = 0;
    m.askForSetup([&] { m.askForSetup([&] { ++second; }); });
    m.installHelper();
    EXPECT_TRUE(m.helperCard() && probe.afterSetup());
    m.installHelper();
    EXPECT_EQ(second, 1);
}

// However pmset was asked, the Mac shows one energy mode and the model reads Low Power
// exactly when that mode is 1: from JSON settings or a dump, with or without High Power.
TEST(ModelEnergy, LowPowerAndTheEnergyModeNeverDisagree) {
    struct Shape {
        const char* name;
        bool highPower;
        const char* dump;  // pmset/settings.txt, or none
    };
    const Shape shapes[] = {
        {"settings", false, nullptr},
        {"settings with High Power", true, nullptr},
        {"dump", false, "Currently in use:\n sleep                1\n lowpowermode         0\n"},
        {"dump with High Power", true, "Currently in use:\n powermode            0\n"},
        // A dump without the setting, whose part ends before the text does, gets it inside.
        {"dump ending in a blank line", false, "Currently in use:\n sleep                1\n\nlater\n"},
        {"dump with a tab", true, "Currently in use:\n powermode\t2\n"},  // no setting: one word
    };
    // A change of one setting, and the mode it leaves (High Power shows as Automatic where
    // the Mac does not offer it).
    const std::tuple<const char*, const char*, std::int64_t> steps[] = {
        {"lowpowermode", "1", 1}, {"powermode", "0", 0},    {"powermode", "2", 2},
        {"lowpowermode", "1", 1}, {"lowpowermode", "0", 0}, {"powermode", "2", 2},
        {"lowpowermode", "0", 2}, {"powermode", "1", 1},
    };
    for (const Shape& shape : shapes) {
        ModelBench bench;
        bench.writeBattery(onBattery(50));
        bench.machine.write("pmset/settings.json", R"({"Battery Power": {"lowpowermode": 0, "powermode": 0}})");
        if (shape.highPower) bench.machine.write("pmset/capabilities.txt", " highpowermode\n");
        if (shape.dump) bench.machine.write("pmset/settings.txt", shape.dump);
        AppModel& m = bench.start();
        const SystemProcessRunner runner(bench.machine.machine());
        for (const auto& [setting, value, mode] : steps) {
            SCOPED_TRACE(std::string(shape.name) + ": " + setting + " " + value);
            ASSERT_EQ(runner.run("/usr/bin/pmset", {"-b", setting, value}).exitCode, 0);
            m.tick();
            m.refreshPowerMode();
            bench.run(0);
            EXPECT_EQ(m.powerMode(), shape.highPower || mode != 2 ? mode : 0);
            EXPECT_EQ(m.lowPower(), mode == 1);
        }
    }
}

TEST(ModelEnergy, ARequestWaitingForApprovalKeepsItsMode) {
    HelperBench t;
    AppModel& m = t.start("requiresApproval");
    m.setPowerMode(2);
    m.installHelper();  // only the settings open
    EXPECT_TRUE(t.xpc->sent.empty());
    EXPECT_TRUE(m.helperCard());
    EXPECT_EQ(t.bench.texts("workspace/opened-urls.jsonl", "url"),
              std::vector<std::string>{"x-apple.systempreferences:com.apple.LoginItems-Settings.extension"});

    t.helper("enabled");  // the user allowed it
    m.installHelper();
    ASSERT_EQ(t.xpc->sent.size(), 1u);
    EXPECT_EQ(t.xpc->sent[0]->message, request("setPowerMode:reply:", Value::integer(2)));
}

TEST(ModelEnergy, FailuresAreNotedAndOverlappingRequestsStayBusyUntilTheLast) {
    HelperBench t;
    t.xpc->scripts = {{{0.1, Event::reply, "pmset: refused"}}, {{1.0, Event::reply, std::nullopt}}};
    t.bench.machine.write("pmset/settings.json", R"({"AC Power": {"powermode": 2}})");
    t.bench.machine.write("pmset/capabilities.txt", "Capabilities for AC Power:\n sleep\n highpowermode\n");
    AppModel& m = t.start("enabled");
    m.setPowerMode(1);
    m.switchLowPower(true);
    t.bench.run(0.1);
    EXPECT_EQ(m.lowPowerNote(), "The energy mode was not changed: pmset: refused.");
    m.refreshPowerMode();
    t.bench.run(0);
    EXPECT_TRUE(m.highPowerAvailable());
    EXPECT_EQ(m.powerMode(), 0);  // a request in flight owns the mode
    t.bench.run(0.4);             // the first is done, the second is not
    EXPECT_TRUE(m.lowPowerBusy());
    EXPECT_EQ(m.powerMode(), 0);
    t.bench.run(1.0);
    EXPECT_FALSE(m.lowPowerBusy());
    m.refreshPowerMode();
    t.bench.run(0);
    EXPECT_EQ(m.powerMode(), 2);
    EXPECT_EQ(m.lowPowerNote(), "The energy mode was not changed: pmset: refused.");  // the own switch notes nothing

    t.bench.machine.write("launchd/registrations.json", R"({"faults": {"unregister": "Not allowed"}})");
    m.removeHelper();
    EXPECT_EQ(m.lowPowerNote(), "The helper was not removed: Not allowed.");
    t.bench.machine.write("launchd/registrations.json", R"({"faults": {"register": "Nope"}})");
    m.installHelper();
    EXPECT_EQ(m.lowPowerNote(), "macOS did not accept the helper: Nope.");
    EXPECT_FALSE(m.helperCard());
}

TEST(HighPowerAvailable, OnlyTheWholeWord) {
    const std::pair<const char*, bool> cases[] = {
        {"Capabilities for AC Power:\n sleep\n highpowermode\n", true},
        {"sleep\thighpowermode", true},
        {"highpowermode", true},
        {" highpowermodes\n nohighpowermode\n highpowermode:1\n", false},
        {"HighPowerMode", false},
        {"", false},
    };
    for (const auto& [text, available] : cases)
        EXPECT_EQ(parseHighPowerAvailable(text), available) << text;
}

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
         {{0, plugged(50, true), false, nullptr, 0, true},      // the charger's mode is off, the battery's on
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
        HelperBench t;
        t.lowPowerTakes(c.owed);
        AppModel& m = t.start("enabled");
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
            EXPECT_EQ(t.titles(), std::vector<std::string>(step.announced, "Low Power Mode is on"));
            EXPECT_EQ(m.lowPowerOwed(), step.owed);
        }
    }
}

TEST(ModelRules, TheDrainWatchTimesOnlyTheHeaviestApp) {
    const std::string mail = "/Applications/Mail.app";
    struct Step {
        std::vector<AppUsage> apps;  // heaviest first, as the sampler ranks them
        std::optional<std::string> held;
    };
    const Step steps[] = {
        {{{mail, "Mail", 60, 1}, {"", "System", 40, 3}}, mail},
        {{{"", "System", 60, 3}, {mail, "Mail", 40, 1}}, std::nullopt},  // "System" leads: start over
        {{{mail, "Mail", 60, 1}}, mail},
        {{}, std::nullopt},  // no apps
    };
    ModelBench bench;
    bench.writeBattery(onBattery(50));
    AppModel& m = bench.start();
    ModelProbe probe(m);
    for (const Step& step : steps) {
        probe.apps(step.apps);
        bench.queue.advance(5);
        m.tick();
        const auto& held = probe.drainWatch().held;
        EXPECT_EQ(held ? std::optional(held->id) : std::nullopt, step.held) << step.apps.size();
    }
}

TEST(ModelRules, AHelperNotReadyOrBusyHoldsOnlyTheLowPowerRule) {
    for (const bool busy : {false, true}) {
        HelperBench t;
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

}  // namespace
}  // namespace norvane
