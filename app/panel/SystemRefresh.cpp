#include "app/panel/SystemRefresh.h"

namespace norvane {

SystemRefresh::SystemRefresh(MainQueue& queue, std::function<bool()> panelOpen, Read read)
    : queue_(queue),
      panelOpen_(std::move(panelOpen)),
      read_(std::move(read)),
      alive_(std::make_shared<SystemRefresh*>(this)) {}

SystemRefresh::~SystemRefresh() {
    alive_.reset();
    next_.cancel();
}

void SystemRefresh::show() {
    if (shown_) return;
    shown_ = true;
    if (reading_) return;  // the read under way goes on with the loop when it ends
    queue_.post([weak = std::weak_ptr(alive_)] {
        if (const auto self = weak.lock()) (*self)->pass();
    });
}

void SystemRefresh::hide() {
    shown_ = false;
    next_.cancel();
    next_ = Task();
}

void SystemRefresh::pass() {
    if (!shown_ || reading_) return;
    if (!panelOpen_()) return wait();
    reading_ = true;
    read_([weak = std::weak_ptr(alive_)] {
        if (const auto self = weak.lock()) (*self)->ended();
    });
}

void SystemRefresh::ended() {
    reading_ = false;
    if (shown_) wait();
}

void SystemRefresh::wait() {
    next_.cancel();  // one timer at most, also after a showing's pass and a timer's met
    next_ = queue_.after(
        interval,
        [weak = std::weak_ptr(alive_)] {
            if (const auto self = weak.lock()) (*self)->pass();
        },
        ClockKind::continuous);
}

}  // namespace norvane
