#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

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
