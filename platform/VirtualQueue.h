#pragma once
// A MainQueue on virtual time, for tests: nothing runs until the test says so, and time
// moves only when the test moves it.

#include <deque>
#include <memory>
#include <vector>

#include "platform/MainQueue.h"
#include "platform/WorkspaceEvents.h"

namespace norvane {

class VirtualQueue final : public MainQueue {
public:
    explicit VirtualQueue(Date start = Date{1'780'000'000});

    void post(std::function<void()> work) override;
    Task after(double seconds, std::function<void()> work, ClockKind clock = ClockKind::continuous) override;
    Task every(double seconds, std::function<void()> work, ClockKind clock = ClockKind::uptime) override;
    // Background jobs run on the test's thread when the queue drains, in submission order.
    void background(Priority priority, std::function<std::function<void()>()> job) override;

    Date now() const override { return wall_; }
    double continuous() const override { return continuous_; }
    double uptime() const override { return uptime_; }

    // Runs posted work and background jobs until none is left; returns how many ran.
    int drain();
    // Moves all three clocks forward, running each timer at its due time in order.
    void advance(double seconds);
    // The queue held up by long work: all three clocks move on while nothing runs, so what
    // was posted or fell due runs late, at the next drain.
    void hold(double seconds);
    // A system sleep: wall and continuous time pass, uptime does not. With `announceSleepTo`,
    // the Mac's will-sleep comes before and its wake after, as the workspace announces them.
    void sleepSystem(double seconds);
    void announceSleepTo(std::shared_ptr<WorkspaceEvents> events) { sleepEvents_ = std::move(events); }
    // Sets the wall clock alone (the user changed the time); timers are not affected.
    void setWall(Date date) { wall_ = date; }
    // Timers not yet cancelled.
    std::size_t pendingTimers() const;

private:
    struct Timer {
        Task task;
        ClockKind clock;
        double due;
        double interval;  // 0 for a one-shot
        std::uint64_t order;
    };
    void moveClocks(double seconds, bool uptimeToo);
    std::optional<std::size_t> nextDue(double continuousLimit, double uptimeLimit) const;

    Date wall_;
    double continuous_ = 1000;
    double uptime_ = 1000;
    std::deque<std::function<void()>> posted_;
    std::deque<std::function<std::function<void()>()>> jobs_;
    std::vector<Timer> timers_;
    std::uint64_t order_ = 0;
    std::shared_ptr<WorkspaceEvents> sleepEvents_;
};

}  // namespace norvane
