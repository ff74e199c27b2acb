#include "platform/x11/X11Compositor.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace norvane {

bool x11CompositorRunning(const std::optional<std::string>& display) {
    if (!display) return false;
    int screen = 0;
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection(
        xcb_connect(display->c_str(), &screen), xcb_disconnect);
    if (xcb_connection_has_error(connection.get())) return false;
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    const std::unique_ptr<xcb_intern_atom_reply_t, void (*)(void*)> atom(
        xcb_intern_atom_reply(
            connection.get(),
            xcb_intern_atom(connection.get(), 1, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr),
        std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;  // never interned: no one ever held it
    const std::unique_ptr<xcb_get_selection_owner_reply_t, void (*)(void*)> owner(
        xcb_get_selection_owner_reply(connection.get(), xcb_get_selection_owner(connection.get(), atom->atom), nullptr),
        std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace norvane
