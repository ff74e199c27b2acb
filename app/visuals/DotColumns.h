#pragma once
// A bar chart of dot columns (the battery's health trend): up to ten lit dots a column,
// the topmost of them brighter.

#include <optional>
#include <vector>

#include "app/visuals/DotLayout.h"

namespace norvane {

struct DotColumns {
    std::vector<std::optional<int>> levels;  // lit dots 0...10 per column; absent: no value

    static constexpr double height = 80;
    DotLayout layout(double width) const;
};

}  // namespace norvane
