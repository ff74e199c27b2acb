#include "app/shell/PanelPlacement.h"

#include <algorithm>
#include <cmath>

namespace norvane {

Point panelOrigin(const Rect& item, double width, double height, const Rect& visible) {
    constexpr double margin = 8, gap = 2;
    const double x = std::min(visible.x + visible.width - width - margin, std::max(item.x, visible.x + margin));
    const bool itemAbove = item.y + item.height / 2 < visible.y + visible.height / 2;
    const double y = itemAbove ? item.y + item.height + gap : item.y - gap - height;
    // A panel taller than the frame keeps its top edge on screen.
    return {x, std::max(visible.y, std::min(y, visible.y + visible.height - height))};
}

bool pressClosesPanel(const ClickMonitor::Press& press, double ratio, const std::vector<Rect>& ownWindows,
                      std::optional<std::uint32_t> openedBy) {
    if (press.button == ClickMonitor::Button::other) return false;
    // Server times wrap: a press no later than the opening input is at most that far behind.
    if (press.time != 0 && openedBy && static_cast<std::int32_t>(press.time - *openedBy) <= 0) return false;
    if (!(ratio > 0) || !std::isfinite(ratio)) ratio = 1;
    const double x = press.x / ratio, y = press.y / ratio;
    for (const Rect& window : ownWindows)
        if (x >= window.x && x < window.x + window.width && y >= window.y && y < window.y + window.height)
            return false;
    return true;
}

}  // namespace norvane
