#include "app/visuals/Ring.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace norvane {

DotLayout Ring::layout(double width, double height) const {
    DotLayout out{width, height, {}};
    // Compared as doubles: no percent, however far out of range, is converted to an integer.
    const double lit = std::round(static_cast<double>(percent) / 100 * count);
    const double radius = std::min(width, height) / 2 - 4;
    for (int i = 0; i < count; ++i) {
        const double angle = static_cast<double>(i) / count * 2 * std::numbers::pi - std::numbers::pi / 2;
        const bool on = i < lit || (blink && i == lit);
        out.dots.push_back({width / 2 + radius * std::cos(angle), height / 2 + radius * std::sin(angle),
                            on ? 4.5 : 2.5, on ? color : Color::white(0.18)});
    }
    return out;
}

}  // namespace norvane
