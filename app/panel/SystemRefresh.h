#pragma once
// The system card's refresh: while the card is shown and the panel is open, the system
// figures are read in the background, and the next read waits 3 s after one has ended,
// so reads never overlap. Hidden (the page left, the panel closed), it reads nothing and
// keeps no timer; a read under way then ends without starting another.

#include <functional>
#include <memory>

#include "platform/MainQueue.h"

namespace norvane {

class SystemRefresh {
public:
    // One read: `done` runs on the main queue once its result has been assigned.
    using Read = std::function<void(std::function<void()> done)>;
    static constexpr double interval = 3;  // seconds from the end of one read to the next

    // The queue must outlive the loop; `panelOpen` tells whether the panel is open now.
    SystemRefresh(MainQueue& queue, std::function<bool()> panelOpen, Read read);
    ~SystemRefresh();
    SystemRefresh(const SystemRefresh&) = delete;
    SystemRefresh& operator=(const SystemRefresh&) = delete;

    // The first pass right after the work under way (the panel that is being shown is open
    // by then), or once a read still under way has ended; nothing more when already shown.
    void show();
    void hide();
    bool shown() const { return shown_; }
    bool reading() const { return reading_; }

private:
    void pass();
    void ended();
    void wait();

    MainQueue& queue_;
    std::function<bool()> panelOpen_;
    Read read_;
    bool shown_ = false;
    bool reading_ = false;
    Task next_;
    std::shared_ptr<SystemRefresh*> alive_;  // weak copies reach the loop from later work
};

}  // namespace norvane
