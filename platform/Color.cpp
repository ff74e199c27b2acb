#include "platform/Color.h"

#include <algorithm>
#include <cmath>

namespace norvane {

Color Color::hsb(double hue, double saturation, double brightness, double opacity) {
    double h = std::isfinite(hue) ? hue - std::floor(hue) : 0;
    const double s = std::clamp(std::isfinite(saturation) ? saturation : 0, 0.0, 1.0);
    const double v = std::clamp(std::isfinite(brightness) ? brightness : 0, 0.0, 1.0);
    h *= 6;
    const double sector = std::floor(h);
    const double f = h - sector;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    // `sector` is 0...5 here: h lies in [0, 6).
    switch (static_cast<int>(sector)) {
        case 0: return {v, t, p, opacity};
        case 1: return {q, v, p, opacity};
        case 2: return {p, v, t, opacity};
        case 3: return {p, q, v, opacity};
        case 4: return {t, p, v, opacity};
        default: return {v, p, q, opacity};
    }
}

double Color::brightness() const { return std::max({red, green, blue}); }

double Color::saturation() const {
    const double max = brightness();
    if (!(max > 0)) return 0;
    return (max - std::min({red, green, blue})) / max;
}

double Color::hue() const {
    const double max = brightness();
    const double delta = max - std::min({red, green, blue});
    if (!(delta > 0)) return 0;
    double h;
    if (max == red)
        h = (green - blue) / delta;
    else if (max == green)
        h = 2 + (blue - red) / delta;
    else
        h = 4 + (red - green) / delta;
    h /= 6;
    return h < 0 ? h + 1 : h;
}

}  // namespace norvane
