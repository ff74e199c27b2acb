#include "app/onboarding/LogoMark.h"

#include <algorithm>

#include "app/onboarding/Motion.h"
#include "app/visuals/ChargeTone.h"

namespace norvane {

int LogoMark::fill(double t) const {
    return still ? full : std::min(timelineFrame(t, period, cycle), full);
}

DotLayout LogoMark::layout(double t) const {
    const int lit = fill(t);
    const double side = dotShare * pitch;
    DotLayout out{6 * pitch, 3 * pitch, {}};
    for (int column = 0; column < 5; ++column)
        for (int row = 0; row < 3; ++row)
            out.dots.push_back(
                Dot::inSquare(column * pitch, row * pitch, side, Color::white(column < lit ? 0.95 : 0.11)));
    out.dots.push_back(Dot::inSquare(5 * pitch, pitch, side, signalRed));
    return out;
}

}  // namespace norvane
