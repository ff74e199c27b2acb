#pragma once
// A global monitor of mouse-button presses, as a Mac's event monitor for left- and
// right-mouse-down events: it observes every press on the desktop, in other programs'
// windows and on the desktop itself, without taking it from anyone.

#include <functional>

namespace norvane {

class ClickMonitor {
public:
    enum class Button { left, right, other };  // other: the middle button, a wheel's steps
    struct Press {
        Button button = Button::left;
        double x = 0, y = 0;  // where the pointer was, in the screen's device pixels
        bool operator==(const Press&) const = default;
    };
    // Gets every press, on the monitor's own thread.
    using Handler = std::function<void(const Press&)>;

    virtual ~ClickMonitor() = default;
    // Replaces the handler of every press; an empty one hears none.
    virtual void installHandler(Handler handler) = 0;
};

}  // namespace norvane
