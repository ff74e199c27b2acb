#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

TEST(ModelApps, QuittingAnAppWithFivePercentOrMoreStartsMeasuringAfresh) {
    struct Case {
        double impact;  // of 100 in all
        int draws;
        bool remeasures;
    };
    for (const Case c : {Case{4.9, 4, false}, Case{5, 4, true}, Case{50, 3, false}}) {
        ModelBench bench;
        AppModel& m = bench.start();
        ModelProbe probe(m);
        const Date now = bench.queue.now();
        std::vector<Draw> draws;
        for (int i = 0; i < c.draws; ++i) draws.push_back({now - 5.0 * (c.draws - i), 1000 + 100 * i});
        probe.draws(draws);
        probe.drain(20);
        probe.usingWatts(12);
        const AppUsage music{"/Applications/Music.app", "Music", c.impact, 2};
        probe.apps({music, {"/Applications/Zed.app", "Zed", 100 - c.impact, 1}});
        probe.remeasure(music);
        SCOPED_TRACE(c.impact);
        if (c.remeasures) {
            EXPECT_EQ(m.quitEffect(), (QuitEffect{"Music", now, 1150}));
            EXPECT_TRUE(probe.draws().empty());
            EXPECT_FALSE(m.drain() || m.usingWatts());
        } else {
            EXPECT_FALSE(m.quitEffect());
            EXPECT_EQ(probe.draws(), draws);
            EXPECT_EQ(m.drain(), 20);
        }
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
