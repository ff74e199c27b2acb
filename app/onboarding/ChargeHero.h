#pragma once
// The know page's picture: the charge ring counting up from 0 to 82 in the first 2.6 s of
// every 7 s and holding there, with the figure in its middle, both in the charge's colour.

#include <cstdint>

#include "app/visuals/ChargeTone.h"
#include "app/visuals/DotLayout.h"

namespace norvane {

struct ChargeHero {
    static constexpr double period = 0.05;  // of the redraws
    static constexpr double cycle = 7;      // seconds
    static constexpr double climb = 2.6;    // seconds from 0 to the top
    static constexpr std::int64_t top = 82;
    static constexpr double size = 150;
    static constexpr double digitPitch = 6;

    bool still = false;

    // The whole part of (t mod 7) / 2.6 × 82, at most 82; 82 when still.
    std::int64_t percent(double t) const;
    // The ring filling the 150 x 150 frame, the figure centred on it.
    DotLayout layout(double t) const;
};

}  // namespace norvane
