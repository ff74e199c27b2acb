#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/VirtualQueue.h"

namespace norvane {
namespace {

// Work that counts its runs.
std::function<void()> counting(int& runs) {
    return [&runs] { ++runs; };
}

TEST(VirtualQueue, PostedWorkRunsInOrderOnlyWhenDrained) {
    VirtualQueue queue;
    std::vector<int> ran;
    queue.post([&] { ran.push_back(1); });
    queue.post([&] {
        ran.push_back(2);
        queue.post([&] { ran.push_back(3); });
    });
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(queue.drain(), 3);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST(VirtualQueue, TimersFireAtTheirDueTimeInOrderWhateverTheWallClockSays) {
    VirtualQueue queue(Date{1000});
    std::vector<std::string> log;
    queue.after(2, [&] { log.push_back("b@" + std::to_string(int(queue.now().seconds))); });
    queue.after(1, [&] { log.push_back("a@" + std::to_string(int(queue.now().seconds))); });
    queue.after(2, [&] { log.push_back("c@" + std::to_string(int(queue.now().seconds))); });
    queue.advance(1.5);
    EXPECT_EQ(log, (std::vector<std::string>{"a@1001"}));
    queue.advance(10);
    EXPECT_EQ(log, (std::vector<std::string>{"a@1001", "b@1002", "c@1002"}));
    EXPECT_EQ(queue.now().seconds, 1011.5);
    EXPECT_EQ(queue.pendingTimers(), 0u);
    // Setting the wall clock moves no timer.
    queue.after(10, [&] { log.push_back("d"); });
    queue.setWall(Date{0});
    queue.advance(9);
    EXPECT_EQ(log.size(), 3u);
    queue.advance(1);
    EXPECT_EQ(log.back(), "d");
    EXPECT_EQ(queue.now().seconds, 10);
}

TEST(VirtualQueue, RepeatingTimersRunEveryIntervalUntilCancelled) {
    VirtualQueue queue;
    int ticks = 0;
    Task task = queue.every(5, counting(ticks));
    queue.advance(4.9);
    EXPECT_EQ(ticks, 0);
    queue.advance(20.1);
    EXPECT_EQ(ticks, 5);
    task.cancel();
    queue.advance(60);
    EXPECT_EQ(ticks, 5);
    EXPECT_TRUE(task.cancelled());

    // Work can cancel other work, and itself.
    int a = 0, b = 0;
    Task second;
    Task first = queue.every(1, [&] {
        if (++a == 5) first.cancel();
        second.cancel();
    });
    second = queue.after(3, counting(b));
    queue.advance(10);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 0);
}

TEST(VirtualQueue, SystemSleepMovesWallAndContinuousTimeOnly) {
    VirtualQueue queue(Date{0});
    const double up = queue.uptime();
    const double cont = queue.continuous();
    int continuousFired = 0, uptimeFired = 0, ticks = 0;
    queue.after(60, counting(continuousFired), ClockKind::continuous);
    queue.after(60, counting(uptimeFired), ClockKind::uptime);
    queue.every(5, counting(ticks), ClockKind::continuous);
    queue.sleepSystem(3600);
    EXPECT_EQ(queue.now().seconds, 3600);
    EXPECT_EQ(queue.continuous(), cont + 3600);
    EXPECT_EQ(queue.uptime(), up);
    EXPECT_EQ(continuousFired, 1);  // ran at wake
    EXPECT_EQ(uptimeFired, 0);      // its clock stood still
    EXPECT_EQ(ticks, 1);            // a missed repeating timer fires once, not 720 times
    queue.advance(60);
    EXPECT_EQ(uptimeFired, 1);
    EXPECT_EQ(ticks, 13);
}

TEST(VirtualQueue, BackgroundResultsComeBackThroughTheQueue) {
    VirtualQueue queue;
    std::vector<std::string> log;
    queue.background(Priority::utility, [&] {
        log.push_back("job");
        return [&] { log.push_back("result"); };
    });
    queue.post([&] { log.push_back("posted"); });
    queue.drain();
    EXPECT_EQ(log, (std::vector<std::string>{"posted", "job", "result"}));
}

TEST(VirtualQueue, ASimulatedSleepIsAnnouncedBeforeItAndAtTheWake) {
    VirtualQueue queue;
    const auto events = std::make_shared<WorkspaceEvents>();
    queue.announceSleepTo(events);
    std::vector<std::string> log;
    const auto at = [&](const char* what) { log.push_back(what + std::to_string(int(queue.continuous()))); };
    auto sleep = events->observe(WorkspaceEventKind::willSleep, [&](const WorkspaceEvent&) { at("sleep@"); });
    auto wake = events->observe(WorkspaceEventKind::didWake, [&](const WorkspaceEvent&) {
        at("wake@");
        queue.post([&] { at("posted@"); });
    });
    queue.after(100, [&] { at("due@"); });
    queue.sleepSystem(600);
    EXPECT_EQ(log, (std::vector<std::string>{"sleep@1000", "wake@1600", "posted@1600", "due@1600"}));
}

}  // namespace
}  // namespace norvane
