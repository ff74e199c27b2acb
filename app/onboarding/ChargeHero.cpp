#include "app/onboarding/ChargeHero.h"

#include <algorithm>
#include <string>

#include "app/onboarding/Motion.h"
#include "app/visuals/DotText.h"
#include "app/visuals/Ring.h"

namespace norvane {

std::int64_t ChargeHero::percent(double t) const {
    if (still) return top;
    // Whole frames keep the climb exact: 82 percent over 52 frames.
    return std::min<std::int64_t>(top, timelineFrame(t, period, cycle) * top / rising);
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
