#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"
#include "tests/support/ScriptedBackend.h"

namespace norvane {
namespace {

const AppUsage pages{"/Applications/Pages.app", "Pages", 30, 1};
const AppUsage music{"/Applications/Music.app", "Music", 20, 1};
const AppUsage gone{"/Applications/Gone.app", "Gone", 10, 1};
constexpr const char* running = R"([
  {"bundle": "/Applications/Pages.app", "name": "Pages", "quits": false},
  {"bundle": "/Applications/Music.app", "name": "Music"}
])";

TEST(ModelQuit, AnAppThatStillRunsFourSecondsLaterWhileBeingQuitIsStuck) {
    ModelBench bench;
    bench.machine.write("workspace/running.json", running);
    AppModel& m = bench.start();
    ModelProbe probe(m);
    probe.apps({pages, music, gone});
    const auto timers = bench.queue.pendingTimers();
    m.quit(gone);  // already ended: only dropped
    EXPECT_EQ(m.apps(), (std::vector{pages, music}));
    EXPECT_EQ(bench.queue.pendingTimers(), timers);

    m.quit(pages);  // asks to save its documents and stays
    m.quit(music);  // quits
    EXPECT_EQ(m.quitting(), (std::set{pages.id, music.id}));
    bench.queue.advance(3.9);
    EXPECT_FALSE(m.stuck());
    bench.queue.advance(0.1);
    EXPECT_EQ(m.stuck(), pages);
    EXPECT_TRUE(m.quitting().empty());
    EXPECT_EQ(MachineWorkspace(bench.machine.machine()).frontmostApplication()->bundlePath, pages.id);

    // Its end already noticed (the id taken out): not stuck, even if the list still has it.
    m.quit(pages);
    EXPECT_FALSE(m.stuck());
    probe.quitting({});
    bench.queue.advance(4);
    EXPECT_FALSE(m.stuck());
}

TEST(ModelQuit, TheAppsOfferedAndWhatQuittingGained) {
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    const std::string own = bench.bundle().string();
    const AppUsage a{"/A.app", "A", 9, 1}, b{"/B.app", "B", 8, 1}, c{"/C.app", "C", 7, 1}, d{"/D.app", "D", 6, 1};
    probe.apps({{own, "Norvane", 10, 1}, {"", "System", 9.5, 3}, a, b, c, d});
    EXPECT_EQ(m.topApps(), (std::vector{a, b, c}));

    EXPECT_FALSE(m.quitResult());
    const Date now = bench.queue.now();
    probe.quitEffect(QuitEffect{"Pages", now - 30, 1000});
    const auto draws = [&](double span) {
        std::vector<Draw> out;
        for (int i = 0; i < 4; ++i)
            out.push_back({now - span + span / 3 * i, 800});
        return out;
    };
    struct Case {
        const char* name;
        Battery battery;
        std::vector<Draw> draws;
        QuitResult result;
    };
    const Case cases[] = {
        {"no new average", onBattery(40), {}, {"Pages", 12, std::nullopt, std::nullopt, true}},
        {"early", onBattery(40), draws(60), {"Pages", 12, 9.6, 30, true}},
        {"settled", onBattery(40), draws(150), {"Pages", 12, 9.6, 30, false}},
        {"on wall power", plugged(40, false), draws(150), {"Pages", 12, 9.6, std::nullopt, false}},
    };
    for (const auto& c : cases) {
        probe.battery(c.battery);  // 12 V: 1000 mA is 12 W
        probe.draws(c.draws);
        EXPECT_EQ(m.quitResult(), c.result) << c.name;
    }
}

TEST(ModelTips, AButtonActsAndTheTipIsChosenAgainASecondLater) {
    struct Case {
        std::optional<TipButton> button;
        bool lowPowerOn;
        std::function<bool(const ModelBench&)> done;
    };
    const auto backendAsked = [](std::string call) {
        return [call](const ModelBench& bench) {
            const auto& calls = static_cast<testing::ScriptedBackend&>(*bench.model->backend()).calls;
            return std::find(calls.begin(), calls.end(), call) != calls.end();
        };
    };
    const auto nothing = [](const ModelBench& bench) {
        const AppModel& m = *bench.model;
        return !m.helperCard() && m.quitting().empty() && m.alertLow() == 0 && !m.wantedTab() &&
               static_cast<testing::ScriptedBackend&>(*m.backend()).calls.empty();
    };
    const Case cases[] = {
        {std::nullopt, false, nothing},
        {tip_button::LowPower{}, true, nothing},
        {tip_button::LowPower{}, false, [](const ModelBench& b) { return b.model->helperCard(); }},  // set-up first
        {tip_button::SetLimit{}, false, backendAsked("set 80")},
        {tip_button::FullOnce{}, false, backendAsked("chargeFullNow")},
        {tip_button::AlertAt20{}, false, [](const ModelBench& b) { return b.model->alertLow() == 20; }},
        {tip_button::ShowSleep{}, false, [](const ModelBench& b) { return b.model->wantedTab() == Tab::stats; }},
        {tip_button::BatterySettings{}, false,
         [](const ModelBench& b) {
             return b.texts("workspace/opened-urls.jsonl", "url") ==
                    std::vector<std::string>{"x-apple.systempreferences:com.apple.Battery-Settings.extension"};
         }},
        {tip_button::Quit{pages.id, "Pages"}, false,
         [](const ModelBench& b) { return b.model->quitting() == std::set{pages.id}; }},
        {tip_button::Quit{"/Elsewhere/Pages.app", "Pages"}, false, nothing},  // matched by path, not name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button ? title(*c.button) : "no button");
        ModelBench bench;
        bench.machine.write("workspace/running.json", running);
        bench.home.write("Norvane.app/Contents/Library/LaunchDaemons/app.norvane.helper.plist",
                         "<plist><dict/></plist>");
        AppModel& m = bench.start();
        ModelProbe probe(m);
        auto backend = std::make_shared<testing::ScriptedBackend>();
        backend->reads = {{80, true}};
        probe.backend(backend);
        probe.battery(plugged(50, false));
        probe.apps({pages});
        probe.lowPower(c.lowPowerOn);
        const Tip shown{"shown", "", "", "", "", Evidence::measured, {}, c.button};
        probe.tip(shown);
        m.act(shown);
        bench.queue.drain();
        EXPECT_TRUE(c.done(bench));
        bench.queue.advance(0.9);
        EXPECT_EQ(m.tip(), shown);
        bench.queue.advance(0.1);
        EXPECT_NE(m.tip(), shown);
    }
}

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
