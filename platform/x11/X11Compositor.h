#pragma once
// Whether a compositing manager runs on an X display: only then does a window drawn
// translucent show what lies behind it. One holds the `_NET_WM_CM_S<screen>` selection.

#include <optional>
#include <string>

namespace norvane {

// False without a display or when it cannot be reached.
bool x11CompositorRunning(const std::optional<std::string>& display);

}  // namespace norvane
