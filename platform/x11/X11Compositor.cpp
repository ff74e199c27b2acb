#include "platform/x11/X11Compositor.h"

#include "platform/x11/X11Connection.h"

namespace norvane {

bool x11CompositorRunning(const std::optional<std::string>& display) {
    const X11Connection x(display);
    // A name never interned is a selection no one ever held.
    return x.selectionOwner(x.atom("_NET_WM_CM_S" + std::to_string(x.screenNumber()), true)) != XCB_WINDOW_NONE;
}

}  // namespace norvane
