#include "app/visuals/DotProgress.h"

#include <algorithm>
#include <cmath>

namespace norvane {

DotLayout DotProgress::layout(double width) const {
    DotLayout out{width, height, {}};
    const double cell = width / count;
    const double d = std::min(height, cell * 0.62);
    const double lit = std::round(fraction * count);  // NaN lights nothing
    for (int i = 0; i < count; ++i)
        out.dots.push_back(
            Dot::inSquare((cell - d) / 2 + cell * i, (height - d) / 2, d, i < lit ? color : Color::white(0.12)));
    return out;
}

std::string DotProgress::accessibilityValue() const {
    const double f = std::isnan(fraction) ? 0 : std::clamp(fraction, 0.0, 1.0);
    return std::to_string(static_cast<int>(std::round(f * 100))) + " percent";
}

}  // namespace norvane
