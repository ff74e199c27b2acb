#pragma once
// The freedesktop system tray of an X display as its icons see it: the owner of the
// `_NET_SYSTEM_TRAY_S<screen>` selection, and on that window `_NET_SYSTEM_TRAY_COLORS`, the
// colours the tray asks its icons to take (normal, error, warning, success; red, green and
// blue of 16 bits each), which trays that draw symbolic icons set. A tray that starts tells
// every client with a MANAGER message on the root window; one that ends destroys its window.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Color.h"
#include "platform/x11/X11Connection.h"

namespace norvane {

class X11SystemTray {
public:
    // Absent, or a display that cannot be reached, leaves it unconnected: no tray.
    explicit X11SystemTray(const std::optional<std::string>& display);
    // The display of this session's environment: the one Qt's tray icon lives on, also
    // XWayland's, as reading a property needs no grab.
    static std::unique_ptr<X11SystemTray> forSession();

    bool connected() const { return connection_.connected(); }
    // Whether a tray holds the selection now.
    bool present() const;
    // The tray's normal colour, read anew each time (a tray changes it with its theme);
    // absent when no tray runs, or it does not say, or says it in another form than 32-bit
    // cardinals (at least three).
    std::optional<Color> foreground() const;
    // From now on, on a thread of this object's own: `coloursChanged` whenever the tray last
    // read (by `present` or `foreground`) changes what it says of its colours, and
    // `trayChanged` whenever a tray announces itself or the one last read ends.
    void watch(std::function<void()> coloursChanged, std::function<void()> trayChanged = [] {});

private:
    // The selection's owner; once watched, its window's changes and its end are told to this
    // connection from before the owner is known to be it.
    xcb_window_t owner() const;

    X11Connection connection_;
    bool watching_ = false;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    xcb_atom_t colors_ = XCB_ATOM_NONE;
    xcb_atom_t manager_ = XCB_ATOM_NONE;
    mutable std::atomic<xcb_window_t> owner_ = XCB_WINDOW_NONE;  // as last read
};

}  // namespace norvane
