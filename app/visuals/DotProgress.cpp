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
    return std::to_string(wholePercent(fraction)) + " percent";
}

std::int64_t DotProgress::wholePercent(double fraction) {
    const double f = std::isnan(fraction) ? 0 : std::clamp(fraction, 0.0, 1.0);
    return static_cast<std::int64_t>(std::round(f * 100));
}

}  // namespace norvane
