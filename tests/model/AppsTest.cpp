#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

TEST(ModelApps, AnAppThatEndsIsForgottenAndOneWithFivePercentOrMoreMeasuredAfresh) {
    struct Case {
        double impact;  // of 100 in all
        int draws;      // fewer than four give no average
        bool remeasures;
    };
    for (const Case c : {Case{4.9, 4, false}, Case{5, 4, true}, Case{50, 3, false}}) {
        SCOPED_TRACE(c.impact);
        ModelBench bench;
        AppModel& m = bench.start();
        ModelProbe probe(m);
        probe.observeWorkspace();
        const Date now = bench.queue.now();
        std::vector<Draw> draws;
        for (int i = 0; i < c.draws; ++i)
            draws.push_back({now - 5.0 * (c.draws - i), 1000 + 100 * i});
        probe.draws(draws);
        probe.drain(20);
        probe.usingWatts(12);
        const AppUsage music{"/Applications/Music.app", "Music", c.impact, 2},
            zed{"/Applications/Zed.app", "Zed", 100 - c.impact, 1};
        probe.apps({music, zed});
        probe.quitting({music.id});
        probe.stuck(music);
        bench.events->raise({WorkspaceEventKind::terminated, music.id});
        bench.queue.drain();
        EXPECT_EQ(m.quitEffect(), c.remeasures ? std::optional(QuitEffect{"Music", now, 1150}) : std::nullopt);
        EXPECT_EQ(probe.draws(), c.remeasures ? std::vector<Draw>() : draws);
        EXPECT_EQ(m.drain(), c.remeasures ? std::nullopt : std::optional(20.0));
        EXPECT_EQ(m.usingWatts(), c.remeasures ? std::nullopt : std::optional(12.0));
        EXPECT_EQ(m.apps(), std::vector{zed});
        EXPECT_TRUE(m.quitting().empty() && !m.stuck());
    }
}

TEST(ModelApps, RunningAppsByNameInTheUsersOrder) {
    ModelBench bench;
    bench.machine.write("workspace/running.json", R"([
      {"bundle": "/Applications/Zed.app", "name": "Zed"},
      {"bundle": "/Applications/Safari.app", "name": "safari"},
      {"bundle": "/Applications/Notes.app"},
      {"bundle": "/Applications/Bartender.app", "name": "Bartender", "policy": "accessory"},
      {"name": "Helper"},
      {"bundle": "/Applications/Firefox.app", "name": "Firefox"},
      {"bundle": "/Volumes/Old/Firefox.app", "name": "Firefox"}
    ])");
    const AppModel& m = bench.start();
    const std::vector<RunningApp> expected{{"Firefox", "/Applications/Firefox.app"},
                                           {"Firefox", "/Volumes/Old/Firefox.app"},
                                           {"Notes", "/Applications/Notes.app"},
                                           {"safari", "/Applications/Safari.app"},
                                           {"Zed", "/Applications/Zed.app"}};
    EXPECT_EQ(m.runningApps(), expected);
    const auto bartender = m.running({"/Applications/Bartender.app", "Bartender", 3, 1});
    ASSERT_TRUE(bartender);  // the policy does not matter here
    EXPECT_EQ(bartender->localizedName, "Bartender");
    EXPECT_FALSE(m.running({"", "System", 3, 1}));
    EXPECT_FALSE(m.running({"/Applications/Mail.app", "Mail", 3, 1}));
}

}  // namespace
}  // namespace norvane
