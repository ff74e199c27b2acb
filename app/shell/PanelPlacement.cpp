#include "app/shell/PanelPlacement.h"

#include <algorithm>

namespace norvane {

Point panelOrigin(const Rect& item, double width, double height, const Rect& visible) {
    constexpr double margin = 8, gap = 2;
    const double x = std::min(visible.x + visible.width - width - margin, std::max(item.x, visible.x + margin));
    const bool itemAbove = item.y + item.height / 2 < visible.y + visible.height / 2;
    const double y = itemAbove ? item.y + item.height + gap : item.y - gap - height;
    // A panel taller than the frame keeps its top edge on screen.
    return {x, std::max(visible.y, std::min(y, visible.y + visible.height - height))};
}

}  // namespace norvane
