#pragma once
// The main actor's queue: all model state is touched from the work it runs. Every
// delay of the application goes through it, so tests can run time virtually.

#include <functional>
#include <memory>

#include "platform/Time.h"

namespace norvane {

enum class Priority { userInitiated, utility, background };

// Which clock a delay is measured on. The continuous clock keeps counting while the Mac
// sleeps; uptime stops.
enum class ClockKind { continuous, uptime };

// A handle to scheduled work; cancelling stops work that has not started yet (and every
// later run of a repeating timer). Copies share the same work.
class Task {
public:
    Task() = default;
    void cancel() const;
    bool cancelled() const;
    bool valid() const { return state_ != nullptr; }

    struct State;
    explicit Task(std::shared_ptr<State> state) : state_(std::move(state)) {}
    const std::shared_ptr<State>& state() const { return state_; }

private:
    std::shared_ptr<State> state_;
};

struct Task::State {
    std::function<void()> work;
    bool cancelled = false;
};

class MainQueue {
public:
    virtual ~MainQueue() = default;

    // Runs `work` on the main queue after what is already queued.
    virtual void post(std::function<void()> work) = 0;
    virtual Task after(double seconds, std::function<void()> work, ClockKind clock = ClockKind::continuous) = 0;
    // First run one interval from now, then every interval until cancelled.
    virtual Task every(double seconds, std::function<void()> work, ClockKind clock = ClockKind::uptime) = 0;
    // Runs `job` off the main queue; the function it returns is then posted back.
    virtual void background(Priority priority, std::function<std::function<void()>()> job) = 0;

    virtual Date now() const = 0;           // wall clock
    virtual double continuous() const = 0;  // seconds on the continuous clock
    virtual double uptime() const = 0;      // seconds on the uptime clock
};

}  // namespace norvane
