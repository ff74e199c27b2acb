#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

const std::string mail = "/Applications/Mail.app";

std::vector<Draw> fourDraws(Date now) {
    return {{now - 15, 1000}, {now - 10, 1000}, {now - 5, 1000}, {now, 1000}};
}

TEST(ModelObservers, AnAppThatEndsIsForgottenAndAHeavyOneReMeasured) {
    for (const double impact : {5.0, 4.9}) {  // a share of 5 % and of 4.9 %
        ModelBench bench;
        AppModel& m = bench.start();
        ModelProbe probe(m);
        probe.observeWorkspace();
        const Date now = bench.queue.now();
        const AppUsage app{mail, "Mail", impact, 1};
        probe.apps({app, {"/Applications/Other.app", "Other", 100 - impact, 1}});
        probe.draws(fourDraws(now));
        probe.usingWatts(12);
        probe.quitting({mail});
        probe.stuck(app);
        bench.events->raise({WorkspaceEventKind::terminated, mail});
        bench.queue.drain();
        const bool heavy = impact >= 5;
        EXPECT_EQ(m.quitEffect(), heavy ? std::optional(QuitEffect{"Mail", now, 1000}) : std::nullopt) << impact;
        EXPECT_EQ(probe.draws().empty() && !m.usingWatts(), heavy);
        EXPECT_TRUE(m.apps().size() == 1 && m.quitting().empty() && !m.stuck());
    }
}

TEST(ModelObservers, AWakeEmptiesTheDrawsAtOnceAndReadsTheSleepLogEightSecondsLater) {
    ModelBench bench;
    ModelProbe probe(bench.start());
    probe.observeWorkspace();
    probe.draws(fourDraws(bench.queue.now()));
    bench.queue.sleepSystem(600);
    EXPECT_TRUE(probe.draws().empty());
    const Date woke = bench.queue.now();
    bench.run(5);
    EXPECT_LT(probe.sleepsRead(), woke);
    // The wait counts time asleep: it is over when the Mac wakes from a sleep of 30 s.
    bench.queue.sleepSystem(30);
    EXPECT_EQ(probe.sleepsRead(), bench.queue.now());
}

TEST(ModelObservers, TheChargeLimitNeedsMacOS264) {
    ModelBench bench;
    bench.machine.write("System/Library/CoreServices/SystemVersion.plist",
                        "<plist><dict><key>ProductVersion</key><string>26.3</string></dict></plist>");
    ModelProbe(bench.start()).limit(80);
    bench.model->refreshLimit();
    EXPECT_EQ(bench.model->limitAvailability(), LimitAvailability(availability::NeedsNewerOS{}));
    EXPECT_EQ(bench.model->limit(), 80);
}

// `top` that names Mail on odd runs and Notes on even ones; other programs do not start.
struct TopRunner final : ProcessRunner {
    mutable int runs = 0;
    ProcessOutput run(const std::string& path, const std::vector<std::string>&, ErrorOutput) const override {
        if (path != "/usr/bin/top") return {};
        ++runs;
        return {true, "", 0, std::nullopt,
                std::string("PID COMMAND POWER\n") + (runs % 2 ? "700 Mail" : "701 Notes") + " 20.0\n"};
    }
};

struct SamplerBench {
    ModelBench bench;
    std::shared_ptr<TopRunner> top = std::make_shared<TopRunner>();
    AppModel& m;
    ModelProbe probe;
    SamplerBench() : m(started(*this)), probe(m) {}
    static AppModel& started(SamplerBench& t) {
        t.bench.machine.write("top/processes.json",
                              R"([{"pid": 700, "command": "Mail", "path": "/Applications/Mail.app/Contents/MacOS/Mail"},
                                  {"pid": 701, "command": "Notes", "path": "/Applications/Notes.app/Contents/MacOS/Notes"}])");
        return t.bench.start({}, [&](System& system) { system.runner = t.top; });
    }
    int passes() const { return top->runs; }
};

TEST(ModelSampler, OneLoopAtATimeAndTheCancelledPassWritesNothing) {
    SamplerBench t;
    int written = 0;
    const auto apps = t.m.subscribe({ModelField::apps}, [&] { ++written; });
    t.probe.startSampling();
    t.probe.startSampling();
    t.bench.queue.drain();
    EXPECT_EQ(t.passes(), 2);
    ASSERT_EQ(t.m.apps().size(), 1u);
    EXPECT_EQ(t.m.apps()[0].id, "/Applications/Notes.app");  // the second pass's
    EXPECT_EQ(written, 1);
    EXPECT_EQ(t.bench.queue.pendingTimers(), 1u);  // one pause: one loop goes on
    t.bench.run(60);
    EXPECT_EQ(t.passes(), 3);
}

TEST(ModelSampler, ThePanelSamplesEveryEightSecondsWhileOpenAndOpeningTwiceDoesNothing) {
    SamplerBench t;
    const Date now = t.bench.queue.now();
    t.probe.sleepsRead(now - 600);  // ten minutes: not read again
    t.m.setPanelOpen(true);
    t.m.setPanelOpen(true);
    t.bench.queue.drain();
    EXPECT_EQ(t.passes(), 1);
    EXPECT_EQ(t.probe.sleepsRead(), now - 600);
    t.bench.run(8);
    EXPECT_EQ(t.passes(), 2);
    t.m.setPanelOpen(false);
    t.bench.run(8);  // the pause under way runs out
    EXPECT_EQ(t.passes(), 3);
    t.bench.run(59);
    EXPECT_EQ(t.passes(), 3);
    t.bench.run(1);
    EXPECT_EQ(t.passes(), 4);
    t.probe.sleepsRead(t.bench.queue.now() - 960);  // sixteen minutes: read again
    t.m.setPanelOpen(true);
    t.bench.queue.drain();
    EXPECT_EQ(t.probe.sleepsRead(), t.bench.queue.now());
}

TEST(ModelSampler, TheLedgerCountsAtMost120SecondsASampleAndIsSavedAtMostEveryMinute) {
    SamplerBench t;
    const Date now = t.bench.queue.now();
    const std::vector<AppUsage> apps{{mail, "Mail", 2, 1}};
    double total = 0;
    for (const auto& [gap, seconds] : std::vector<std::pair<double, double>>{{300, 120}, {30, 30}, {-10, 0}}) {
        t.probe.lastSample(now - gap);
        t.probe.record(apps);
        EXPECT_EQ(t.m.ledger().days.at("2026-12-08").at(mail), total += 2 * seconds) << gap;
    }
    const Path file = t.bench.home / "apps.json";
    t.probe.ledgerURL(file);
    // Seconds since the last save, and whether this sample saves; the last: a save time
    // ahead of now (the clock went back).
    for (const auto& [since, saved] :
         std::vector<std::pair<double, bool>>{{1e9, true}, {59, false}, {60, true}, {-3600, true}}) {
        std::filesystem::remove(file);
        t.probe.ledgerSaved(now - since);
        t.probe.record(apps);
        EXPECT_EQ(fileExists(file), saved) << since;
    }
}

}  // namespace
}  // namespace norvane
