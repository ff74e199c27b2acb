#pragma once
// Where the floating panel opens: under the status item when the item sits in the upper
// half of the screen (a menu bar, a tray at the top), above it otherwise (a tray at the
// bottom), always inside the screen's visible frame; and which presses close it. Screen
// coordinates, y growing downwards.

#include <cstdint>
#include <optional>
#include <vector>

#include "app/visuals/Card.h"
#include "platform/ClickMonitor.h"

namespace norvane {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

// The panel's top-left corner. Its left edge follows the item's, at least 8 points inside
// the visible frame on both sides (the right margin wins when both cannot hold); its edge
// facing the item lies 2 points away from it.
Point panelOrigin(const Rect& item, double width, double height, const Rect& visible);

// Whether a press that the global monitor saw closes the panel: a left or a right press
// outside the application's own windows (the panel, the status item), since a press in
// them is the application's own, made after the input that opened the panel (`openedBy`, the
// display server's time of the last input event the application had when it opened): a
// monitor heard late, on a busy machine, may tell of the very press that opened the panel in a
// window gone since (the tour's last button). The press is in device pixels, `ratio` of them a
// point (1 where that is not a number above 0).
bool pressClosesPanel(const ClickMonitor::Press& press, double ratio, const std::vector<Rect>& ownWindows,
                      std::optional<std::uint32_t> openedBy = std::nullopt);

}  // namespace norvane
