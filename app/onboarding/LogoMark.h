#pragma once
// The product's mark: a dot battery of five columns by three rows that fills one column a
// tick up to four, holds there, and starts again; a red tip dot on its right.

#include "app/visuals/DotLayout.h"

namespace norvane {

struct LogoMark {
    static constexpr double period = 0.28;
    static constexpr int cycle = 14;
    static constexpr int full = 4;  // columns lit at most; the fifth never lights
    static constexpr double dotShare = 0.74;

    bool still = false;
    double pitch = 26;

    // Columns lit at `t` seconds after the reference date.
    int fill(double t) const;
    // A canvas of 6 x 3 pitches: 15 body dots and the tip.
    DotLayout layout(double t) const;
};

}  // namespace norvane
