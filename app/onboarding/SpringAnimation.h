#pragma once
// A spring run on the main queue: its value (0 to 1, overshoot included) is handed to
// `frame` about sixty times a second on the uptime clock, and `done` runs once it has
// settled. Nothing runs after it ended, was stopped or was destroyed, so a view that goes
// keeps no timer.

#include <functional>

#include "app/onboarding/Motion.h"
#include "platform/MainQueue.h"

namespace norvane {

class SpringAnimation {
public:
    static constexpr double frameInterval = 1.0 / 60;

    // The queue must outlive the animation.
    explicit SpringAnimation(MainQueue& queue) : queue_(queue) {}
    ~SpringAnimation() { stop(); }
    SpringAnimation(const SpringAnimation&) = delete;
    SpringAnimation& operator=(const SpringAnimation&) = delete;

    // Starts from 0 (one running is stopped first); `frame(0)` at once. A spring without a
    // response ends at once. The callbacks must not destroy the animation.
    void start(Spring spring, std::function<void(double)> frame, std::function<void()> done = {});
    // Jumps to the end: `frame(1)`, then `done`. Nothing when not running.
    void finish();
    // Ends where it is: neither the last frame nor `done`.
    void stop();
    bool running() const { return timer_.valid(); }

private:
    void step();

    MainQueue& queue_;
    Spring spring_;
    double started_ = 0;
    double duration_ = 0;
    std::function<void(double)> frame_;
    std::function<void()> done_;
    Task timer_;
};

}  // namespace norvane
