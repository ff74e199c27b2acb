#include "app/onboarding/SpringAnimation.h"

#include <utility>

namespace norvane {

void SpringAnimation::start(Spring spring, std::function<void(double)> frame, std::function<void()> done) {
    stop();
    spring_ = spring;
    started_ = queue_.uptime();
    duration_ = spring.duration();
    frame_ = std::move(frame);
    done_ = std::move(done);
    timer_ = queue_.every(frameInterval, [this] { step(); }, ClockKind::uptime);
    if (frame_) frame_(0);
    if (!(duration_ > 0)) finish();
}

void SpringAnimation::step() {
    const double t = queue_.uptime() - started_;
    if (t >= duration_) return finish();
    if (frame_) frame_(spring_.value(t));
}

void SpringAnimation::finish() {
    if (!running()) return;
    auto frame = std::move(frame_);
    auto done = std::move(done_);
    stop();
    if (frame) frame(1);
    if (done) done();
}

void SpringAnimation::stop() {
    timer_.cancel();
    timer_ = Task();
    frame_ = nullptr;
    done_ = nullptr;
}

}  // namespace norvane
