#include "app/onboarding/Timeline.h"

namespace norvane {

void Timeline::show() {
    if (timer_.valid()) return;
    // The tick goes through a copy: the view may hide the timeline while it draws.
    timer_ = queue_.every(period_, [tick = tick_] {
        if (tick) tick();
    });
}

void Timeline::hide() {
    timer_.cancel();
    timer_ = Task();
}

void Timeline::setPeriod(double period) {
    if (period == period_) return;
    period_ = period;
    if (!timer_.valid()) return;
    hide();
    show();
}

}  // namespace norvane
