#include "platform/VirtualQueue.h"

#include <algorithm>

namespace norvane {

void Task::cancel() const {
    if (state_) state_->cancelled = true;
}

bool Task::cancelled() const { return state_ && state_->cancelled; }

VirtualQueue::VirtualQueue(Date start) : wall_(start) {}

void VirtualQueue::post(std::function<void()> work) { posted_.push_back(std::move(work)); }

Task VirtualQueue::after(double seconds, std::function<void()> work, ClockKind clock) {
    Task task(std::make_shared<Task::State>(Task::State{std::move(work), false}));
    const double base = clock == ClockKind::continuous ? continuous_ : uptime_;
    timers_.push_back({task, clock, base + std::max(0.0, seconds), 0, order_++});
    return task;
}

Task VirtualQueue::every(double seconds, std::function<void()> work, ClockKind clock) {
    Task task(std::make_shared<Task::State>(Task::State{std::move(work), false}));
    const double interval = std::max(seconds, 1e-3);  // a zero interval would never let time move
    const double base = clock == ClockKind::continuous ? continuous_ : uptime_;
    timers_.push_back({task, clock, base + interval, interval, order_++});
    return task;
}

void VirtualQueue::background(Priority, std::function<std::function<void()>()> job) {
    jobs_.push_back(std::move(job));
}

int VirtualQueue::drain() {
    int ran = 0;
    while (!posted_.empty() || !jobs_.empty()) {
        if (!posted_.empty()) {
            auto work = std::move(posted_.front());
            posted_.pop_front();
            if (work) work();
        } else {
            auto job = std::move(jobs_.front());
            jobs_.pop_front();
            if (auto back = job ? job() : nullptr) posted_.push_back(std::move(back));
        }
        ++ran;
    }
    return ran;
}

std::size_t VirtualQueue::pendingTimers() const {
    return static_cast<std::size_t>(
        std::count_if(timers_.begin(), timers_.end(), [](const Timer& t) { return !t.task.cancelled(); }));
}

std::optional<std::size_t> VirtualQueue::nextDue(double continuousLimit, double uptimeLimit) const {
    std::optional<std::size_t> best;
    double bestLead = 0;
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        const auto& t = timers_[i];
        if (t.task.cancelled()) continue;
        const double limit = t.clock == ClockKind::continuous ? continuousLimit : uptimeLimit;
        const double now = t.clock == ClockKind::continuous ? continuous_ : uptime_;
        if (t.due > limit) continue;
        const double lead = t.due - now;  // how far ahead of the present clock it is due
        if (!best || lead < bestLead || (lead == bestLead && t.order < timers_[*best].order)) {
            best = i;
            bestLead = lead;
        }
    }
    return best;
}

void VirtualQueue::moveClocks(double seconds, bool uptimeToo) {
    drain();
    const double continuousEnd = continuous_ + seconds;
    const double uptimeEnd = uptime_ + (uptimeToo ? seconds : 0);
    while (auto index = nextDue(continuousEnd, uptimeEnd)) {
        Timer& timer = timers_[*index];
        const double now = timer.clock == ClockKind::continuous ? continuous_ : uptime_;
        const double step = std::max(0.0, timer.due - now);
        wall_ = wall_ + step;
        continuous_ += step;
        if (uptimeToo) uptime_ += step;
        Task task = timer.task;
        if (timer.interval > 0) {
            // After a sleep a repeating timer fires once, not once for every missed interval.
            const double clockNow = timer.clock == ClockKind::continuous ? continuous_ : uptime_;
            timer.due = std::max(timer.due + timer.interval, clockNow + timer.interval);
        } else {
            timers_.erase(timers_.begin() + static_cast<std::ptrdiff_t>(*index));
        }
        if (task.state()->work && !task.cancelled()) {
            auto work = task.state()->work;  // the work may cancel its own task
            work();
        }
        drain();
    }
    wall_ = wall_ + (continuousEnd - continuous_);
    continuous_ = continuousEnd;
    uptime_ = uptimeEnd;
    std::erase_if(timers_, [](const Timer& t) { return t.task.cancelled(); });
}

void VirtualQueue::advance(double seconds) { moveClocks(std::max(0.0, seconds), true); }

void VirtualQueue::hold(double seconds) {
    const double s = std::max(0.0, seconds);
    wall_ = wall_ + s;
    continuous_ += s;
    uptime_ += s;
}

void VirtualQueue::sleepSystem(double seconds) {
    // Nothing runs while the Mac sleeps; what fell due on the continuous clock runs at wake.
    drain();
    if (sleepEvents_) {
        sleepEvents_->raise({WorkspaceEventKind::willSleep, std::nullopt});
        drain();
    }
    const double s = std::max(0.0, seconds);
    wall_ = wall_ + s;
    continuous_ += s;
    if (sleepEvents_) sleepEvents_->raise({WorkspaceEventKind::didWake, std::nullopt});
    moveClocks(0, false);
}

}  // namespace norvane
