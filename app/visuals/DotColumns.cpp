#include "app/visuals/DotColumns.h"

#include <algorithm>

namespace norvane {

DotLayout DotColumns::layout(double width) const {
    DotLayout out{width, height, {}};
    const double cell = width / static_cast<double>(std::max<std::size_t>(levels.size(), 1));
    const double d = std::min(cell * 0.62, 7.0);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const double x = (cell - d) / 2 + cell * static_cast<double>(i);
        for (int j = 0; j < 10; ++j) {
            const auto& level = levels[i];
            Color color = Color::white(0.07);
            if (level && j < *level) color = Color::white(j == *level - 1 ? 0.95 : 0.3);
            out.dots.push_back(Dot::inSquare(x, 72 - 8.0 * j, d, color));
        }
    }
    return out;
}

}  // namespace norvane
