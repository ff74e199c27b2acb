#pragma once
// The clock of an animated picture: it ticks every period (once an hour when the picture
// stands still) while its view is shown, and keeps no timer once hidden or gone. What a tick
// draws comes from the clock's date, not from the count of ticks.

#include <functional>

#include "platform/MainQueue.h"

namespace norvane {

class Timeline {
public:
    // The queue must outlive the timeline.
    Timeline(MainQueue& queue, double period, std::function<void()> tick)
        : queue_(queue), period_(period), tick_(std::move(tick)) {}
    ~Timeline() { hide(); }
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    void show();
    void hide();
    bool shown() const { return timer_.valid(); }
    // A new period (the still setting changed); a shown timeline starts again with it.
    void setPeriod(double period);

private:
    MainQueue& queue_;
    double period_;
    std::function<void()> tick_;
    Task timer_;
};

}  // namespace norvane
