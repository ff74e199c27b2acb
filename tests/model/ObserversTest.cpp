#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

const std::string mail = "/Applications/Mail.app";

TEST(ModelObservers, AWakeEmptiesTheDrawsAtOnceAndReadsTheSleepLogEightSecondsLater) {
    ModelBench bench;
    ModelProbe probe(bench.start());
    probe.observeWorkspace();
    probe.draws({{bench.queue.now(), 1000}});
    bench.queue.sleepSystem(600);
    EXPECT_TRUE(probe.draws().empty());
    const Date woke = bench.queue.now();
    bench.run(5);
    EXPECT_LT(probe.sleepsRead(), woke);
    // The wait counts time asleep: it is over when the Mac wakes from a sleep of 30 s.
    bench.queue.sleepSystem(30);
    EXPECT_EQ(probe.sleepsRead(), bench.queue.now());
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
    AppModel& m = started();
    ModelProbe probe{m};

    AppModel& started() {
        bench.machine.write("top/processes.json",
                            R"([{"pid": 700, "command": "Mail", "path": "/Applications/Mail.app/Contents/MacOS/Mail"},
                                {"pid": 701, "command": "Notes", "path": "/Applications/Notes.app/Contents/MacOS/Notes"}])");
        return bench.start({}, [&](System& system) { system.runner = top; });
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
        EXPECT_FALSE(fileExists(file)) << since;  // the save is written off the main queue
        t.bench.run(0);
        EXPECT_EQ(fileExists(file), saved) << since;
    }
    // Saves asked for one after another are written in that order: the last one stands.
    for (const auto& app : {AppUsage{mail, "Mail", 2, 1}, AppUsage{"/Applications/Notes.app", "Notes", 2, 1}}) {
        t.probe.ledgerSaved(now - 3600);
        t.probe.record({app});
    }
    t.bench.run(0);
    EXPECT_EQ(AppLedger::load(file), t.m.ledger());
    // A sample that comes before a save is written changes the model's ledger, not the one
    // that save writes.
    t.probe.ledgerSaved(now - 3600);
    t.probe.record(apps);
    const AppLedger asked = t.m.ledger();
    t.probe.lastSample(now - 30);
    t.probe.record(apps);
    t.bench.run(0);
    EXPECT_EQ(AppLedger::load(file), asked);
    EXPECT_EQ(t.m.ledger().days.at("2026-12-08").at(mail), asked.days.at("2026-12-08").at(mail) + 60);
}

TEST(ModelLifetime, NoWorkReachesAModelThatIsGone) {
    ModelBench bench;
    AppModel& m = bench.start();
    ModelProbe probe(m);
    int ran = 0;
    probe.later(5, [&](AppModel&) { ++ran; });
    probe.repeating(5, [&](AppModel&) { ++ran; });
    bench.queue.advance(5);
    EXPECT_EQ(ran, 2);
    probe.later(5, [&](AppModel&) { ++ran; });
    probe.panelOpen(true);
    m.refreshSystem();
    probe.refreshHealth();
    auto subscription = m.subscribe({ModelField::battery}, [&] { ++ran; });
    bench.model.reset();
    EXPECT_EQ(bench.queue.pendingTimers(), 0u);
    bench.queue.drain();  // the readings' replies find no model
    bench.queue.advance(60);
    subscription.cancel();
    EXPECT_EQ(ran, 2);
}

TEST(ModelLifetime, ASubscriberMayEndTheModelWhileBeingTold) {
    ModelBench bench;
    AppModel& m = bench.start();
    int later = 0;
    const auto first = m.subscribe({ModelField::battery}, [&] { bench.model.reset(); });
    const auto second = m.subscribe({ModelField::battery}, [&] { ++later; });
    ModelProbe(m).battery(onBattery(50));
    EXPECT_FALSE(bench.model);
    EXPECT_EQ(later, 0);
}

TEST(ModelLifetime, OneSystemReadingAtATimeAndOnlyWhileThePanelIsOpen) {
    ModelBench bench;
    AppModel& m = bench.start();
    int done = 0;
    m.refreshSystem([&] { ++done; });
    EXPECT_EQ(std::pair(bench.queue.drain(), done), std::pair(0, 1));  // closed: nothing read, told at once
    ModelProbe(m).panelOpen(true);
    m.refreshSystem([&] { ++done; });
    m.refreshSystem([&] { ++done; });  // waits for the read under way
    EXPECT_EQ(done, 1);
    EXPECT_EQ(bench.queue.drain(), 2);  // one read, one reply
    EXPECT_EQ(done, 3);
    EXPECT_TRUE(m.system());
    m.refreshSystem();
    EXPECT_EQ(bench.queue.drain(), 2);
}

}  // namespace
}  // namespace norvane
