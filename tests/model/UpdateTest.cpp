#include <gtest/gtest.h>

#include "app/model/DefaultsKeys.h"
#include "tests/model/ModelProbe.h"
#include "tests/support/LoopbackServer.h"

namespace norvane {
namespace {

using testing::LoopbackServer;
constexpr double day = 86'400;

TEST(ModelUpdate, TheDailyCheckIsDueADayAfterTheLastAndAnHourAfterOneWithoutAnswer) {
    struct Case {
        const char* build;  // the bundle's, "" for none
        bool checks;
        double since;  // seconds since "updateChecked"
        bool due;
    };
    const Case cases[] = {{"57", true, day - 1, false},
                          {"57", true, day, true},
                          {"57", true, -day, true},
                          {"57", false, 2 * day, false},
                          {"", true, 2 * day, false}};
    for (const auto& c : cases) {
        ModelBench bench;
        bench.writeInfoPlist(c.build);
        const Date now = bench.queue.now();
        UserDefaults(bench.defaultsFile()).set(keys::updateChecked, Value::date(now - c.since));
        AppModel& m = bench.start({"--update-source", LoopbackServer::refusedUrl()});
        m.setChecksForUpdates(c.checks);
        ModelProbe(m).checkForUpdatesIfDue(now);
        EXPECT_EQ(m.updateBusy(), c.due) << c.since;
        bench.queue.drain();
        EXPECT_FALSE(m.updateBusy());
        // Unanswered: the next daily check comes an hour later. The note is for asked checks only.
        EXPECT_EQ(bench.stored().date(keys::updateChecked), c.due ? now - (day - 3600) : now - c.since);
        EXPECT_FALSE(m.updateNote());
    }
}

TEST(ModelUpdate, AnAskedCheckRunsOnceAndSaysWhatItFound) {
    struct Case {
        std::optional<std::int64_t> build;  // the feed's; none: the website cannot be reached
        const char* note;
    };
    const Case cases[] = {{58, "Norvane 1.5 is available."},
                          {57, "You have the newest version."},
                          {std::nullopt, "The website could not be reached. Try again later."}};
    for (const auto& c : cases) {
        LoopbackServer server;
        if (c.build)
            server.answer("/version.json", LoopbackServer::Answer(200, R"({"version": "1.5", "build": )" +
                                                                           std::to_string(*c.build) + "}"));
        ModelBench bench;
        bench.writeInfoPlist("57");
        AppModel& m =
            bench.start({"--update-source", c.build ? server.url("/version.json") : LoopbackServer::refusedUrl()});
        ModelProbe(m).update(AvailableUpdate{"1.4", 56, {}, std::nullopt});  // an older offer
        m.setUpdateLater(true);
        const Date now = bench.queue.now();
        m.checkForUpdates(true, now);
        m.checkForUpdates(true, now);
        EXPECT_EQ(m.updateNote(), "Checking\u2026");
        bench.run(10);
        EXPECT_EQ(server.requests().size(), c.build ? 1u : 0u);
        EXPECT_EQ(m.updateNote(), c.note);
        EXPECT_FALSE(m.updateLater());
        EXPECT_EQ(m.update() ? m.update()->build : 0, c.build == 58 ? 58 : c.build ? 0 : 56);
        EXPECT_EQ(bench.stored().date(keys::updateChecked), c.build ? now : now - (day - 3600));
    }
}

TEST(ModelUpdate, ADownloadStartsFromIdleOrAFailureAndAnInstallOnlyFromReady) {
    ModelBench bench;
    AppModel& m = bench.start({"--update-zip", LoopbackServer::refusedUrl()});
    ModelProbe probe(m);
    probe.update(AvailableUpdate{"1.5", 58, {}, std::nullopt});
    probe.updateStage(update_stage::Failed{"earlier"});
    m.downloadUpdate();
    EXPECT_EQ(m.updateStage(), UpdateStage(update_stage::Downloading{0.0}));
    m.downloadUpdate();  // one at a time
    bench.queue.drain();
    EXPECT_EQ(m.updateStage(),
              UpdateStage(update_stage::Failed{"The download did not finish. Check the connection and try again."}));

    const UpdateStage notReady[] = {update_stage::Idle{}, update_stage::Downloading{0.5}, update_stage::Checking{},
                                    update_stage::Installing{}};
    m.startAwake(AwakeMode::agents());
    for (const auto& stage : notReady) {
        probe.updateStage(stage);
        m.installUpdate();
        EXPECT_EQ(m.updateStage(), stage);
        EXPECT_TRUE(m.awake());
    }
    // An install ends keep-awake first; this copy is not signed, so the updater refuses it.
    probe.updateStage(update_stage::Ready{bench.home / "caches/Norvane-update/new/Norvane.app"});
    m.installUpdate();
    EXPECT_FALSE(m.awake());
    EXPECT_EQ(bench.stored().booleanObject(keys::awakeAgents), false);
    EXPECT_TRUE(std::holds_alternative<update_stage::Failed>(m.updateStage()));
    EXPECT_EQ(bench.terminated, 0);
}

}  // namespace
}  // namespace norvane
