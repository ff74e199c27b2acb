#include "app/visuals/MenuBarIcon.h"

#include <cmath>

namespace norvane {

DotLayout menuBarIcon(std::int64_t percent, bool awake) {
    using I = MenuBarIcon;
    constexpr double inset = (I::pitch - I::dot) / 2;
    DotLayout out{I::width, I::height, {}};
    const double lit = std::ceil(static_cast<double>(percent) / 100 * I::columns);
    for (int c = 0; c < I::columns; ++c)
        for (int r = 0; r < I::rows; ++r)
            out.dots.push_back(Dot::inSquare(I::pitch * c, inset + I::pitch * r, I::dot, Color::black(c < lit ? 1.0 : 0.3)));
    out.dots.push_back(Dot::inSquare(I::pitch * I::columns, I::pitch + inset, I::dot, Color::black(percent > 99 ? 1.0 : 0.3)));
    if (awake) out.dots.push_back(Dot::inSquare(I::pitch * I::columns, 2 * I::pitch + inset, I::dot, Color::black(1.0)));
    return out;
}

}  // namespace norvane
