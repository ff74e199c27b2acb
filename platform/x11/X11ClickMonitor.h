#pragma once
// The global click monitor on X11: XInput 2's raw button presses, selected on the root
// window, reach a client for every press on the display, whichever window it lands in,
// without a grab of the pointer (no other program loses a click). A raw press carries no
// place, so the pointer's position is asked for as it comes, with the window under it: a
// press in a window of this process (one made by a connection of ours to the display, told by
// the client part of its id, also inside a window manager's frame) is left to that window and
// not reported. A window's `_NET_WM_PID` would not tell it: a pid is unique only in its PID
// namespace, and a program in another (a container, a sandbox) may have ours. It is asked
// at once, on the monitor's thread, so a window that closes on that very click (the tour's
// last button) still counts as the program's own.
//
// Under Wayland no program may watch the desktop's clicks: there, as without a display or
// an X server without XInput 2.2, the monitor has no connection and hears nothing.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ClickMonitor.h"

namespace norvane {

class X11Connection;

class X11ClickMonitor final : public ClickMonitor {
public:
    // Connects to the display (absent: none) and watches its presses on a thread of its own;
    // `ownClients` are the client parts (x11ClientBase) of this process's connections to it,
    // whose windows are its own.
    X11ClickMonitor(const std::optional<std::string>& display, std::vector<std::uint32_t> ownClients);
    // The display of this session's environment, as the hot keys take it.
    static std::unique_ptr<X11ClickMonitor> forSession(std::vector<std::uint32_t> ownClients);
    ~X11ClickMonitor() override;
    X11ClickMonitor(const X11ClickMonitor&) = delete;
    X11ClickMonitor& operator=(const X11ClickMonitor&) = delete;

    bool connected() const { return connected_; }
    void installHandler(Handler handler) override;

    // The press an X button number stands for: 1 left, 3 right; the middle button and the
    // wheel's steps (4 to 7) are other presses.
    static Button button(std::uint32_t number);

private:
    void pressed(std::uint32_t number, std::uint32_t time);
    // Whether `window`, or the window under the pointer within it, is this process's.
    bool ownWindow(std::uint32_t window) const;

    std::mutex mutex_;  // guards the handler
    Handler handler_;
    bool connected_ = false;
    std::uint8_t opcode_ = 0;           // XInput's major opcode on this display
    std::vector<std::uint32_t> ownClients_;
    std::uint32_t clientMask_ = 0;      // the part of an id that names a resource of its client
    std::unique_ptr<X11Connection> x_;  // last: its thread ends before the rest goes
};

}  // namespace norvane
