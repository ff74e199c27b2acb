#include <gtest/gtest.h>

#include "app/model/DefaultsKeys.h"
#include "platform/Text.h"
#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

TEST(ModelStart, OpenAtLoginIsSwitchedOnOnceOnTheFirstRunFromABundle) {
    ModelBench bench;
    bench.writeBattery(onBattery(50));
    bench.start().start();
    EXPECT_TRUE(bench.model->openAtLogin());
    EXPECT_EQ(bench.stored().booleanObject(keys::loginItemSet), true);
    bench.model->setOpenAtLogin(false);  // the user does not want it
    bench.start().start();
    EXPECT_FALSE(bench.model->openAtLogin());
    EXPECT_EQ(readFile(bench.machine.root() / "launchd/registrations.json").value_or("").find("loginItems\":{\"/"),
              std::string::npos);

    ModelBench bare;
    bare.start({}, [&](System& system) { system.bundle = std::make_shared<FolderBundle>(bare.home / "bin"); }).start();
    EXPECT_FALSE(bare.model->openAtLogin());
    EXPECT_FALSE(bare.stored().object(keys::loginItemSet));
}

// The first frame does not wait for the desktop picture: the model starts with the tint
// known at once, and one to decode comes from a background job, told as a change.
TEST(ModelStart, ATintToDecodeComesAfterTheStart) {
    struct Decoding final : TintSource {
        bool settled;
        mutable int decodes = 0;
        explicit Decoding(bool s) : settled(s) {}
        Known knownTint() const override { return {Color{0.5, 0.5, 0.9, 1}, settled}; }
        Color wallpaperTint() const override { return ++decodes, Color{0.9, 0.5, 0.5, 1}; }
    };
    for (const bool settled : {false, true}) {
        ModelBench bench;
        const auto tint = std::make_shared<Decoding>(settled);
        AppModel& m = bench.start({}, [&](System& system) { system.tint = tint; });
        const Color known{0.5, 0.5, 0.9, 1}, decoded{0.9, 0.5, 0.5, 1};
        EXPECT_EQ(std::pair(m.tint(), tint->decodes), std::pair(known, 0)) << settled;
        int told = 0;
        const auto watch = m.subscribe({ModelField::tint}, [&] { ++told; });
        bench.queue.drain();
        EXPECT_EQ(m.tint(), settled ? known : decoded);
        EXPECT_EQ(std::pair(tint->decodes, told), settled ? std::pair(0, 0) : std::pair(1, 1));
    }
}

TEST(ModelStart, KeepAwakeResumesAgentsThenTheModeAsked) {
    struct Case {
        std::vector<std::string> arguments;
        bool agentsLeft;  // "awakeAgents" stored by the last run
        std::optional<AwakeMode> mode;
    };
    const Case cases[] = {
        {{}, true, AwakeMode::agents()},
        {{"--demo"}, true, std::nullopt},
        {{"--demo", "--awake", "agents"}, false, AwakeMode::agents()},
        {{"--awake", "untilStopped"}, true, AwakeMode::untilStopped()},
        {{"--awake", "timer:30", "--awake", "agents"}, false, AwakeMode::timer(30)},
        {{"--awake"}, false, std::nullopt},
    };
    for (const auto& c : cases) {
        ModelBench bench;
        bench.writeBattery(plugged(50, false));
        UserDefaults(bench.defaultsFile()).set(keys::awakeAgents, Value::boolean(c.agentsLeft));
        AppModel& m =
            bench.start(c.arguments, [&](System& system) { system.processes = std::make_shared<FakeProcesses>(); });
        m.start();
        EXPECT_EQ(m.awake() ? std::optional(m.awake()->mode) : std::nullopt, c.mode)
            << ::testing::PrintToString(c.arguments);
    }
}

TEST(ModelStart, TheDemonstrationMakesUpAWeekAndTouchesNoFile) {
    ModelBench bench;
    bench.writeBattery(onBattery(50));
    AppModel& m = bench.start({"--demo"});
    m.start();
    bench.run(300);  // ticks, sampler passes, the sleep log
    const Date started = bench.queue.now() - 300;
    const auto& samples = m.history().samples;
    ASSERT_EQ(samples.size(), 2017u);  // the ticks add none
    EXPECT_EQ(samples.front(), (Sample{started - 604'800, 59, false, false}));
    EXPECT_EQ(samples[2016].time, started);
    EXPECT_FALSE(fileExists(bench.home / "support"));
    ASSERT_EQ(m.sleeps().size(), 3u);
    EXPECT_EQ(m.sleeps()[2].end, started - 300);
}

TEST(ModelStart, StateFilesThatDoNotDecodeAreMovedAsideAndNoBatteryRecordsNoCapacity) {
    for (const std::int64_t nominal : {5000, 0}) {
        ModelBench bench;
        Battery b = onBattery(50);
        b.nominal = nominal;
        bench.writeBattery(b);
        bench.home.write("support/Norvane/apps.json", "not json");
        bench.home.write("support/Norvane/health.json", "[");
        bench.home.write("support/Norvane/history.csv", "garbage\n");
        AppModel& m = bench.start();
        m.start();
        EXPECT_EQ(readFile(bench.support() / "apps.json.unreadable-1"), "not json");
        EXPECT_EQ(readFile(bench.support() / "health.json.unreadable-1"), "[");
        // The system log tells of each in one line.
        const std::string log = readFile(bench.machine.root() / "log/system.log").value_or("");
        EXPECT_EQ(splitNonEmpty(log, '\n').size(), 2u) << log;
        EXPECT_NE(log.find("/health.json is undecodable; moved aside to "), std::string::npos) << log;
        EXPECT_TRUE(m.history().samples.size() == 1 && m.ledger().days.empty());
        // Today's capacity point is written only for a battery that reports a capacity.
        EXPECT_EQ(fileExists(bench.support() / "health.json"), nominal > 0);
        EXPECT_EQ(m.health().points.size(), nominal > 0 ? 1u : 0u);
    }
}

}  // namespace
}  // namespace norvane
