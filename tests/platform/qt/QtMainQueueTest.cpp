#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/qt/QtMainQueue.h"

namespace norvane {
namespace {

// Turns the event loop until `done` holds; gives up after a generous limit so a broken
// queue fails the test instead of hanging it. No assertion depends on how long it took.
template <class Done>
bool spinUntil(Done done, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Work that counts its runs.
std::function<void()> counting(int& runs) {
    return [&runs] { ++runs; };
}

// Turns the event loop for `ms` milliseconds, whatever runs.
void spinFor(int ms) {
    spinUntil([] { return false; }, ms);
}

class QtMainQueueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "platform_qt_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
    QtMainQueue queue;
};

TEST_F(QtMainQueueTest, PostedWorkRunsInOrderOnTheMainThread) {
    std::vector<int> ran;
    bool mainThread = true;
    queue.post([&] { ran.push_back(1); });
    queue.post([&] {
        ran.push_back(2);
        queue.post([&] { ran.push_back(4); });
    });
    queue.post([&] { ran.push_back(3); });
    std::thread other([&] {
        queue.post([&] {
            mainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
            ran.push_back(5);
        });
    });
    other.join();
    EXPECT_TRUE(ran.empty());  // nothing runs before the loop turns
    ASSERT_TRUE(spinUntil([&] { return ran.size() == 5; }));
    EXPECT_EQ(std::vector<int>(ran.begin(), ran.begin() + 3), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(mainThread);
}

TEST_F(QtMainQueueTest, CancelledTimersNeverRunAndWorkMayCancelItsOwnRepeatingTimer) {
    for (ClockKind clock : {ClockKind::uptime, ClockKind::continuous}) {
        int cancelledRan = 0, keptRan = 0, ticks = 0;
        Task cancelled = queue.after(0.02, counting(cancelledRan), clock);
        queue.after(0.05, counting(keptRan), clock);
        cancelled.cancel();
        Task repeating;
        repeating = queue.every(
            0.01,
            [&] {
                if (++ticks == 3) repeating.cancel();
            },
            clock);
        ASSERT_TRUE(spinUntil([&] { return keptRan == 1 && ticks >= 3; }));
        spinFor(50);
        EXPECT_EQ(cancelledRan, 0);
        EXPECT_TRUE(cancelled.cancelled());
        EXPECT_EQ(ticks, 3);
    }
}

TEST_F(QtMainQueueTest, ADestroyedQueueRunsNothingMore) {
    int ran = 0;
    {
        QtMainQueue shortLived;
        shortLived.post(counting(ran));
        shortLived.after(0, counting(ran), ClockKind::uptime);
        shortLived.every(0.001, counting(ran), ClockKind::continuous);
    }
    spinFor(30);
    EXPECT_EQ(ran, 0);
}

TEST_F(QtMainQueueTest, OddDelaysStillRunOnce) {
    int ran = 0;
    queue.after(-1, counting(ran));
    queue.after(std::nan(""), counting(ran), ClockKind::uptime);
    queue.after(0, counting(ran), ClockKind::continuous);
    ASSERT_TRUE(spinUntil([&] { return ran == 3; }));
    spinFor(20);
    EXPECT_EQ(ran, 3);
}

TEST_F(QtMainQueueTest, BackgroundJobsRunOffTheMainThreadAndHandTheirResultBack) {
    std::atomic<bool> jobOnMain{true};
    bool resultOnMain = false;
    int result = 0;
    queue.background(Priority::utility, [&] {
        jobOnMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        const int computed = 6 * 7;  // only copies cross back
        return [&, computed] {
            resultOnMain = QThread::currentThread() == QCoreApplication::instance()->thread();
            result = computed;
        };
    });
    ASSERT_TRUE(spinUntil([&] { return result != 0; }));
    EXPECT_FALSE(jobOnMain);
    EXPECT_TRUE(resultOnMain);
    EXPECT_EQ(result, 42);
}

TEST_F(QtMainQueueTest, ClocksMoveForwardAndTheContinuousOneIncludesSleep) {
    const double up = queue.uptime(), cont = queue.continuous();
    const Date wall = queue.now();
    spinFor(5);
    EXPECT_GT(queue.uptime(), up);
    EXPECT_GT(queue.continuous(), cont);
    EXPECT_GE(queue.continuous(), queue.uptime());  // boot time counts every sleep on top
    EXPECT_GE(queue.now(), wall);
}

}  // namespace
}  // namespace norvane
