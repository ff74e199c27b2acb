#pragma once
// Arithmetic on alert levels in percent. A level comes from the user's settings, where any
// integer can be stored, so the sum is held at the integer's ends instead of overflowing.

#include <cstdint>
#include <limits>

namespace norvane {

constexpr std::int64_t levelPlus(std::int64_t level, std::int64_t points) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(level, points, &sum)) return sum;
    return points < 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
}

}  // namespace norvane
