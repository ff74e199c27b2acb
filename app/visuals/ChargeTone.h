#pragma once
// The application's fixed colours: the warning red and the five charge colours.

#include <cstdint>

#include "platform/Color.h"

namespace norvane {

// The panel's accent while the charge is low.
inline constexpr Color signalRed{0.84, 0.10, 0.13, 1};

// Five ordered steps from empty to full.
enum class ChargeTone { empty = 0, low = 1, middle = 2, good = 3, full = 4 };

// The step of a charge in percent: below 6, 6-20, 21-30, 31-95, 96 and above.
ChargeTone chargeTone(std::int64_t percent);
Color color(ChargeTone tone);

}  // namespace norvane
