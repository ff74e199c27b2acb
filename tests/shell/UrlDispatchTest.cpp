#include "app/shell/UrlDispatch.h"

#include <gtest/gtest.h>

#include <utility>

#include "app/model/DefaultsKeys.h"
#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

TEST(UrlDispatch, AllUrlsAreReadFirstThenCarriedOutInOrder) {
    struct Case {
        const char* name;
        std::vector<std::string> urls;
        std::optional<AwakeMode> awake;  // the session afterwards
        std::optional<Tab> tab;
        int shows;                   // panel shows 0.6 s later
        bool lowPowerAsked = false;  // the switch was asked for: the helper is not set up, so its card shows
    };
    const Case cases[] = {
        {"off, then on again", {"norvane://awake/off", "norvane://awake"}, AwakeMode::untilStopped(), {}, 0},
        {"on, then off", {"norvane://awake?minutes=30", "norvane://awake/off"}, {}, {}, 0},
        {"agents", {"norvane://awake?mode=agents"}, AwakeMode::agents(), {}, 0},
        {"a page", {"norvane://open/stats"}, {}, Tab::stats, 1},
        {"each open shows", {"norvane://open/stats", "norvane://open"}, {}, {}, 2},
        {"Low Power already off", {"norvane://low-power/off"}, {}, {}, 1},
        {"Low Power on", {"norvane://low-power/on"}, {}, {}, 1, true},
        {"nothing that parses",
         {"norvane://awake/on", "https://norvane.app/", "norvane://awake?minutes=060"},
         {},
         {},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModelBench bench;
        AppModel& m = bench.start();
        const MachineSystemState state(bench.machine.machine());
        ModelTarget target(m, state);
        int shows = 0;
        dispatch(parseCommands(c.urls), target, bench.queue, [&] { ++shows; });
        EXPECT_EQ(m.awake() ? std::optional(m.awake()->mode) : std::nullopt, c.awake);
        EXPECT_EQ(bench.stored().boolean(keys::awakeAgents), c.awake == AwakeMode::agents());
        EXPECT_EQ(m.wantedTab(), c.tab);
        EXPECT_EQ(m.helperCard(), c.lowPowerAsked);
        bench.queue.advance(panelShowsAfter - 0.01);
        EXPECT_EQ(shows, 0);
        bench.queue.advance(0.02);
        EXPECT_EQ(shows, c.shows);
    }
}

// At most 64 commands wait (an idle lane takes any delivery), and what waited longer than
// 8 s, behind work that held the main queue, is dropped unrun.
TEST(UrlDispatch, TheLaneBoundsWhatWaitsAndDropsWhatCameLate) {
    ModelBench bench;
    AppModel& m = bench.start();
    const MachineSystemState state(bench.machine.machine());
    ModelTarget target(m, state);
    int shows = 0;
    CommandLane lane(target, bench.queue, [&] { ++shows; });
    const auto opens = [](std::size_t count) {
        return parseCommands(std::vector<std::string>(count, "norvane://open"));
    };
    const auto shown = [&] {
        bench.queue.drain();
        bench.queue.advance(panelShowsAfter + 0.01);
        return std::exchange(shows, 0);
    };
    ASSERT_TRUE(lane.add(opens(70)));
    EXPECT_FALSE(lane.add(opens(1)));
    EXPECT_EQ(shown(), 70);
    ASSERT_TRUE(lane.add(opens(60)));
    EXPECT_TRUE(lane.add(opens(4)));
    EXPECT_FALSE(lane.add(opens(1)));
    bench.queue.hold(commandLateSeconds + 0.5);
    EXPECT_EQ(shown(), 0);
    EXPECT_TRUE(lane.add(opens(2)));
    EXPECT_EQ(shown(), 2);
}

}  // namespace
}  // namespace norvane
