#include "app/onboarding/ChargeHero.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/visuals/DotText.h"
#include "app/visuals/Ring.h"

namespace norvane {

std::int64_t ChargeHero::percent(double t) const {
    if (still) return top;
    // From the clock's own time, not from whole frames (which skip 81): the redraws come
    // every 0.05 s from whenever the page showed, so each figure of the climb gets its turn.
    double within = std::fmod(t, cycle);
    if (!std::isfinite(within)) return 0;
    if (within < 0) within += cycle;  // a time before the reference date wraps round
    return std::min<std::int64_t>(top, static_cast<std::int64_t>(std::floor(within / climb * static_cast<double>(top))));
}

DotLayout ChargeHero::layout(double t) const {
    const std::int64_t p = percent(t);
    const Color tone = color(chargeTone(p));
    DotLayout out = Ring{p, tone, false}.layout(size, size);
    const DotLayout digits = DotText{std::to_string(p), tone, digitPitch}.layout();
    const double left = (size - digits.width) / 2, top = (size - digits.height) / 2;
    for (Dot dot : digits.dots) {
        dot.x += left;
        dot.y += top;
        out.dots.push_back(dot);
    }
    return out;
}

}  // namespace norvane
