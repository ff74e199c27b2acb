#pragma once
// The main queue on Qt's event loop: posted work and timers run on the thread that made
// the queue (the GUI thread), background jobs on a thread pool. Needs a Qt application
// object and Qt Core only.

#include <QObject>
#include <QThreadPool>

#include "platform/MainQueue.h"

namespace norvane {

class QtMainQueue final : public MainQueue {
public:
    QtMainQueue();
    // Waits for running background jobs; their results and any timer still pending are
    // dropped.
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    // Safe to call from any thread.
    void post(std::function<void()> work) override;
    // Uptime timers run on the monotonic clock, which stops while the system sleeps;
    // continuous ones on the boot-time clock, which keeps counting through a sleep.
    Task after(double seconds, std::function<void()> work, ClockKind clock = ClockKind::continuous) override;
    Task every(double seconds, std::function<void()> work, ClockKind clock = ClockKind::uptime) override;
    // The job runs on the pool and must capture no model state; what it returns is posted.
    void background(Priority priority, std::function<std::function<void()>()> job) override;

    Date now() const override;
    double continuous() const override;
    double uptime() const override;

private:
    Task schedule(double seconds, double interval, std::function<void()> work, ClockKind clock);
    void arm(const Task& task, double seconds, double interval, ClockKind clock);

    QObject context_;  // receives the posted work and owns the timers
    QThreadPool pool_;
};

}  // namespace norvane
