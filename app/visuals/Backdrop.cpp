#include "app/visuals/Backdrop.h"

namespace norvane {
namespace {

// `top` drawn over `bottom`, both with straight (not premultiplied) colours.
Color over(Color top, Color bottom) {
    const double a = top.opacity + bottom.opacity * (1 - top.opacity);
    if (!(a > 0)) return Color::clear();
    auto mix = [&](double t, double b) { return (t * top.opacity + b * bottom.opacity * (1 - top.opacity)) / a; };
    return {mix(top.red, bottom.red), mix(top.green, bottom.green), mix(top.blue, bottom.blue), a};
}

}  // namespace

Backdrop Backdrop::forSystem(int majorVersion) {
    if (majorVersion >= 26) return {Glass{}};
    return {Frost{}};
}

Color Backdrop::fill(bool translucent) const {
    const Color tone = isGlass() ? over(Glass::tint, Glass::material) : over(Frost::darkening, Frost::material);
    return translucent ? tone : tone.withOpacity(1);
}

}  // namespace norvane
