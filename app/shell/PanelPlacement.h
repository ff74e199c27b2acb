#pragma once
// Where the floating panel opens: under the status item when the item sits in the upper
// half of the screen (a menu bar, a tray at the top), above it otherwise (a tray at the
// bottom), always inside the screen's visible frame. Screen coordinates, y growing
// downwards.

#include "app/visuals/Card.h"

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

}  // namespace norvane
