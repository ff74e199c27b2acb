#pragma once
// The battery that stands in the menu bar: 6 x 3 dots whose columns light up with the
// charge, a one-dot tip, and a dot above the tip while keep-awake holds. Only each dot's
// opacity matters: the menu bar colours the image for its light or dark look.

#include <cstdint>

#include "app/visuals/DotLayout.h"

namespace norvane {

struct MenuBarIcon {
    static constexpr int columns = 6;
    static constexpr int rows = 3;
    static constexpr double pitch = 3.6;
    static constexpr double dot = 2.6;
    static constexpr double width = (columns + 1) * pitch;  // 25.2
    static constexpr double height = rows * pitch;          // 10.8
};

// The dots, black at their opacities, in a space whose y grows upwards (row 0 at the bottom).
DotLayout menuBarIcon(std::int64_t percent, bool awake);

}  // namespace norvane
