#pragma once
// Counting the dots of a layout that are drawn in a colour other than a faint one.

#include <algorithm>

#include "app/visuals/DotLayout.h"

namespace norvane::testing {

inline long litCount(const DotLayout& layout, Color faint) {
    return std::count_if(layout.dots.begin(), layout.dots.end(), [&](const Dot& d) { return d.color != faint; });
}

}  // namespace norvane::testing
