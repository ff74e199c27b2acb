#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/model/DefaultsKeys.h"
#include "platform/ChildProcess.h"
#include "platform/ProcessKernel.h"
#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

using Status = decltype(AwakeStatus::value);
const Status holding = AwakeStatus::Holding{}, quiet = AwakeStatus::Quiet{}, low = AwakeStatus::LowBattery{},
             unplugged = AwakeStatus::Unplugged{};
using Table = std::map<std::int32_t, FakeProcesses::Process>;
const Table agentAlone{{100, {"grok"}}};
const Table agentWithChild{{100, {"grok"}}, {101, {"sh", 100}}};

TEST(ModelAwake, TheStateMachineTickByTick) {
    // Each step is one tick `after` seconds after the one before (the first: the start). The
    // own assertion is held exactly while the session runs and holds.
    struct Step {
        double after = 0;
        Battery battery = plugged(80, false);
        Table processes{};
        const char* apps = nullptr;  // workspace/running.json from now on
        bool session = true;         // the session still runs
        Status state = holding;
        std::size_t notified = 0;
        std::vector<std::string> working{};
        std::vector<std::string> running{};
        std::optional<std::string> note{};
    };
    struct Start {
        const char* name;
        AwakeMode mode;
        bool powerOnly = false;
        std::set<std::string> ignored{};
    };
    struct Case {
        Start start;
        std::vector<Step> steps;
    };
    const std::vector<std::string> grok{"Grok"};
    const Case cases[] = {
        {{"a timer ends when it runs out", AwakeMode::timer(1)},
         {{.battery = plugged(80, true)},
          {.after = 55, .battery = plugged(80, true)},
          {.after = 5, .battery = plugged(80, true), .session = false, .note = "Ended: the timer ran out."}}},
        {{"the floor notifies once per drop and resumes when plugged in", AwakeMode::untilStopped()},
         {{.battery = onBattery(21)},
          {.after = 5, .battery = onBattery(20), .state = low, .notified = 1},
          {.after = 5, .battery = onBattery(19), .state = low, .notified = 1},
          {.after = 5, .battery = plugged(19, true), .notified = 1},
          {.after = 5, .battery = onBattery(19), .state = low, .notified = 2}}},
        {{"power only pauses on battery whatever the charge", AwakeMode::untilStopped(), true},
         {{.battery = onBattery(80), .state = unplugged},
          {.after = 5, .battery = onBattery(10), .state = unplugged},
          {.after = 5, .battery = plugged(10, true)}}},
        {{"the floor applies only on battery", AwakeMode::untilStopped()}, {{.battery = plugged(5, true)}}},
        {{"an agent holds while it works, until 300 s after its last sign", AwakeMode::agents()},
         {{.processes = agentAlone, .state = quiet, .running = grok},
          {.after = 5, .processes = agentWithChild, .working = grok, .running = grok},
          {.after = 301, .processes = agentWithChild, .state = quiet, .running = grok},
          {.after = 5, .state = quiet}}},
        {{"an ignored agent is listed as running but never works", AwakeMode::agents(), false, {"Grok"}},
         {{.processes = agentAlone, .state = quiet, .running = grok},
          {.after = 5, .processes = agentWithChild, .state = quiet, .running = grok}}},
        {{"a watched app ends the session when it quits", AwakeMode::app("/Applications/Safari.app")},
         {{.apps = R"([{"bundle": "/Applications/Safari.app"}])"},
          {.after = 5, .apps = "[]", .session = false, .note = "Ended: Safari is not running."}}},
    };
    for (const auto& [start, steps] : cases) {
        SCOPED_TRACE(start.name);
        ModelBench bench;
        bench.writeInfoPlist();
        auto processes = std::make_shared<FakeProcesses>();
        AppModel& m = bench.start({}, [&](System& system) { system.processes = processes; });
        ModelProbe probe(m);
        m.setAwakePowerOnly(start.powerOnly);
        m.setAgentsIgnored(start.ignored);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE(i);
            const Step& step = steps[i];
            bench.queue.advance(step.after);
            probe.battery(step.battery);
            processes->table = step.processes;
            if (step.apps) bench.machine.write("workspace/running.json", step.apps);
            if (i == 0) {
                m.startAwake(start.mode);
                EXPECT_EQ(bench.stored().boolean(keys::awakeAgents), start.mode == AwakeMode::agents());
            } else {
                probe.updateAwake(bench.queue.now());
            }
            EXPECT_EQ(m.awake().has_value(), step.session);
            EXPECT_EQ(m.awakeState().value, step.state);
            EXPECT_EQ(probe.awakeHold().sleepBlock().id != 0, step.session && step.state == holding);
            EXPECT_EQ(m.agentsWorking(), step.working);
            EXPECT_EQ(m.agentsRunning(), step.running);
            EXPECT_EQ(m.awakeNote(), step.note);
            const auto bodies = bench.texts("notifications/requests.jsonl", "body");
            ASSERT_EQ(bodies.size(), step.notified);
            EXPECT_EQ(bench.texts("notifications/requests.jsonl", "title"),
                      std::vector<std::string>(step.notified, "Norvane lets your Mac sleep again"));
            if (i > 0 && step.notified > steps[i - 1].notified) {  // sent at this tick
                EXPECT_EQ(bodies.back(), "The battery is at " + std::to_string(step.battery.percent) +
                                             "%. Stay awake resumes when you plug in.");
            }
        }
        EXPECT_TRUE(m.awake() || !bench.stored().boolean(keys::awakeAgents));
    }

    // Without a session a tick touches nothing.
    ModelBench bench;
    AppModel& m = bench.start();
    int told = 0;
    std::vector<ModelField> every;
    for (int f = 0; f <= static_cast<int>(ModelField::showTime); ++f)
        every.push_back(static_cast<ModelField>(f));
    const auto subscription = m.subscribe(every, [&] { ++told; });
    ModelProbe(m).updateAwake(bench.queue.now());
    EXPECT_EQ(told, 0);
    EXPECT_EQ(ModelProbe(m).awakeHold().sleepBlock().id, 0u);
    EXPECT_FALSE(bench.stored().string(keys::awakeAgents));
}

// The bench's bundle gets an executable that stands in for ours as the lid guard.
class ModelLid : public ::testing::Test {
protected:
    ModelBench bench;
    const RegistryService root{"IOPMrootDomain", 0};
    MachineRegistry registry{bench.machine.machine()};

    void SetUp() override {
        bench.writeInfoPlist();
        const Path guard = bench.home.write("Norvane.app/Contents/MacOS/Norvane", "#!/bin/sh\nexec sleep 30\n");
        std::filesystem::permissions(guard, std::filesystem::perms::owner_all);
        bench.machine.write("ioreg/IOPMrootDomain.plist",
                            "<plist><dict><key>AppleClamshellState</key><false/></dict></plist>");
    }
    bool lidSleeps() const { return registry.property(root, "AppleClamshellCausesSleep") != Value::boolean(false); }
    std::optional<std::int32_t> guard() const {
        const auto& child = ModelProbe(*bench.model).awakeHold().lidGuard();
        return child ? std::optional(child->pid()) : std::nullopt;
    }
};

TEST_F(ModelLid, OneGuardWhileHoldingNoneWhenHotAndClosedOrReleased) {
    AppModel& m = bench.start();
    ModelProbe probe(m);
    probe.battery(plugged(80, false));
    m.startAwake(AwakeMode::untilStopped());
    EXPECT_FALSE(guard());  // the lid setting is off
    m.setAwakeLid(true);    // decides at once
    const auto first = guard();
    ASSERT_TRUE(first);
    EXPECT_FALSE(lidSleeps());
    probe.hold(true);
    EXPECT_EQ(guard(), first);

    // A hot Mac with its lid closed sleeps; its assertion stays.
    bench.machine.write("power/thermal.json", R"({"thermalState": 2})");
    registry.setProperty(root, "AppleClamshellState", Value::boolean(true));
    probe.hold(true);
    EXPECT_FALSE(guard());
    EXPECT_FALSE(processExists(*first));
    EXPECT_TRUE(lidSleeps());
    EXPECT_NE(probe.awakeHold().sleepBlock().id, 0u);

    registry.setProperty(root, "AppleClamshellState", Value::boolean(false));
    probe.hold(true);
    const auto second = guard();
    ASSERT_TRUE(second);
    EXPECT_FALSE(lidSleeps());
    m.toggleAwake();  // the user stops it
    EXPECT_FALSE(guard());
    EXPECT_FALSE(processExists(*second));
    EXPECT_TRUE(lidSleeps());
    EXPECT_EQ(probe.awakeHold().sleepBlock().id, 0u);
}

TEST_F(ModelLid, TheRealGuardGivesLidSleepBackWhenTheAppIsKilled) {
    // The bundle's executable is our own program; a probe process runs the model.
    const Path executable = bench.bundle() / "Contents/MacOS/Norvane";
    std::filesystem::remove(executable);
    std::filesystem::create_symlink(NORVANE_EXECUTABLE, executable);
    const Path pidFile = bench.home / "guard.pid";
    auto app =
        ChildProcess::start(bench.machine.machine(), NORVANE_AWAKE_PROBE, {bench.bundle().string(), pidFile.string()});
    ASSERT_TRUE(app);
    for (int i = 0; i < 400 && !fileExists(pidFile) && app->running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    const auto guard = parseInt32(readFile(pidFile).value_or(""));
    ASSERT_TRUE(guard) << "the probe wrote no guard";
    EXPECT_EQ(readFile("/proc/" + std::to_string(*guard) + "/cmdline"),
              executable.string() + std::string("\0--lid-guard\0", 13) + std::to_string(app->pid()) + '\0');
    EXPECT_FALSE(lidSleeps());

    const std::int32_t pid = app->pid();
    ::kill(pid, SIGKILL);
    ASSERT_TRUE(app->wait(10));
    ASSERT_TRUE(waitForProcessEnd(*guard, 20)) << "the guard did not notice";
    EXPECT_TRUE(lidSleeps());
    EXPECT_NE(readFile(bench.machine.root() / "log/system.log")
                  .value_or("")
                  .find("(pid " + std::to_string(pid) + ") is gone, lid-close sleep given back: yes"),
              std::string::npos);
}

TEST(ModelAwake, ATimerEndsTheMomentItRunsOutBetweenTicks) {
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    bench.queue.advance(2.5);  // halfway between two ticks
    m.startAwake(AwakeMode::timer(1));
    bench.queue.advance(59.9);
    EXPECT_TRUE(m.awake());
    bench.queue.advance(0.1);
    EXPECT_FALSE(m.awake());
    EXPECT_EQ(m.awakeNote(), "Ended: the timer ran out.");
    EXPECT_EQ(probe.awakeHold().sleepBlock().id, 0u);

    // The end of a timer switched off early does not end the session that follows it.
    m.startAwake(AwakeMode::timer(1));
    bench.queue.advance(30);
    m.startAwake(AwakeMode::timer(2));
    bench.queue.advance(119.9);
    EXPECT_TRUE(m.awake());
    bench.queue.advance(0.1);
    EXPECT_FALSE(m.awake());
}

TEST(ModelAwake, TheCaptionSaysWhatHoldsTheMac) {
    struct Case {
        std::optional<AwakeMode> mode;  // none: no session
        Status state;
        std::vector<std::string> working;
        double age;  // seconds since the start
        std::string caption;
    };
    const std::int64_t forever = std::numeric_limits<std::int64_t>::max();
    const Case cases[] = {
        {{}, holding, {}, 0, "Off · the Mac sleeps as usual"},
        {AwakeMode::agents(), quiet, {}, 5.9, "Looking at what the agents are doing…"},
        {AwakeMode::agents(), quiet, {}, 6, "No agent is working · the Mac may sleep"},
        {AwakeMode::untilStopped(), unplugged, {}, 0, "Paused on battery · resumes on wall power"},
        {AwakeMode::untilStopped(), low, {}, 0, "Paused at 20% battery · resumes when plugged in"},
        {AwakeMode::timer(90), holding, {}, 60, "left · until 11:29"},
        {AwakeMode::timer(forever), holding, {}, 0, ""},  // any time: minutes × 60 must not overflow
        {AwakeMode::app("/Applications/Safari.app"), holding, {}, 0, "While Safari is running"},
        {AwakeMode::untilStopped(), holding, {}, 0, "Until you switch it off"},
        {AwakeMode::agents(), holding, {"Grok"}, 0, "Grok is working"},
        {AwakeMode::agents(), holding, {"Claude Code", "Codex", "Grok"}, 0, "Claude Code, Codex, and Grok are working"},
    };
    for (const auto& c : cases) {
        ModelBench bench;
        AppModel& m = bench.start();
        ModelProbe probe(m);
        if (c.mode) probe.awake(AwakeSession{*c.mode, bench.queue.now() - c.age});
        probe.awakeState({c.state});
        probe.agentsWorking(c.working);
        if (c.mode == AwakeMode::timer(forever)) {
            EXPECT_TRUE(m.awakeCaption().starts_with("left · until ")) << m.awakeCaption();
            probe.updateAwake(bench.queue.now());
            EXPECT_TRUE(m.awake());  // it never runs out
        } else {
            EXPECT_EQ(m.awakeCaption(), c.caption);
        }
    }
    ModelBench bench;
    AppModel& m = bench.start();
    m.startAwake(AwakeMode::timer(0));  // ends at the first decision, with its note
    EXPECT_EQ(m.awakeCaption(), "Ended: the timer ran out.");
}

TEST(ModelAwake, TheTogglesAndTheAgentList) {
    ModelBench bench;
    auto processes = std::make_shared<FakeProcesses>();
    processes->table = agentAlone;
    AppModel& m = bench.start({"--agents-all"}, [&](System& system) { system.processes = processes; });
    ModelProbe(m).battery(plugged(80, false));
    m.setAwakeMode(AwakeMode::agents());
    m.toggleAwake();
    EXPECT_EQ(m.awake()->mode, AwakeMode::agents());
    EXPECT_EQ(m.agentsInstalled().size(), agents().size());  // a running agent not yet known: looked up
    EXPECT_TRUE(bench.stored().boolean(keys::awakeAgents));
    m.setAgent("Grok", false);
    m.setAgent("Grok", false);
    EXPECT_EQ(bench.stored().stringArray(keys::agentsIgnored), std::vector<std::string>{"Grok"});
    m.setAgent("Grok", true);
    EXPECT_TRUE(m.agentsIgnored().empty());
    m.toggleAwake();
    EXPECT_FALSE(m.awake() || m.awakeNote());
    EXPECT_TRUE(m.agentsRunning().empty());
    EXPECT_FALSE(bench.stored().boolean(keys::awakeAgents));
}

TEST(ModelAwake, OneLookAtTheProcessTableServesTheQueuesTurn) {
    ModelBench bench;
    auto processes = std::make_shared<FakeProcesses>();
    processes->table = agentAlone;
    AppModel& m = bench.start({}, [&](System& system) { system.processes = processes; });
    bench.queue.advance(1);
    const int before = processes->listed;
    // Opening the panel and showing the keep-awake card, then a tick in agent mode.
    m.setPanelOpen(true);
    m.refreshAgents();
    m.startAwake(AwakeMode::agents());
    EXPECT_EQ(processes->listed, before + 1);
    EXPECT_EQ(m.agentsRunning(), std::vector<std::string>{"Grok"});
    bench.queue.advance(1);  // a later turn looks again
    m.refreshAgents();
    EXPECT_EQ(processes->listed, before + 2);
}

}  // namespace
}  // namespace norvane
