#pragma once
// A global monitor of mouse-button presses, as a Mac's event monitor for left- and
// right-mouse-down events: it observes the presses delivered to other programs (in their
// windows and on the desktop itself), without taking them from anyone. A press in one of
// the program's own windows is not its business: that window has it.

#include <cstdint>
#include <functional>

namespace norvane {

class ClickMonitor {
public:
    enum class Button { left, right, other };  // other: the middle button, a wheel's steps
    struct Press {
        Button button = Button::left;
        double x = 0, y = 0;  // where the pointer was, in the screen's device pixels
        // The display server's time of the press, in milliseconds (it wraps, as the server's
        // does); 0 when not known. The press may be heard late, on a busy machine after what
        // it did: the time tells it from a later one.
        std::uint32_t time = 0;
        bool operator==(const Press&) const = default;
    };
    // Gets every press outside the program's own windows, on the monitor's own thread.
    using Handler = std::function<void(const Press&)>;

    virtual ~ClickMonitor() = default;
    // Replaces the handler of every press; an empty one hears none.
    virtual void installHandler(Handler handler) = 0;
};

}  // namespace norvane
