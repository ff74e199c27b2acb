#pragma once
// The helper page's picture: the energy-mode switch moving on its own every 1.6 s, with
// the situation each mode suits under it.

#include <array>
#include <cstdint>
#include <string>

#include "app/visuals/Segments.h"

namespace norvane {

struct ModesHero {
    static constexpr double period = 1.6;
    static constexpr int cycle = 3;
    static constexpr double padding = 14;  // of the card
    static constexpr double spacing = 10;
    static constexpr double width = 220;

    struct Entry {
        std::int64_t mode;  // 0 automatic, 1 low power, 2 high power
        const char* caption;
    };
    static const std::array<Entry, cycle>& entries();

    bool still = false;

    int index(double t) const;
    const Entry& entry(double t) const { return entries()[static_cast<std::size_t>(index(t))]; }
    // LOW, AUTO, HIGH with the entry's mode selected; taps change nothing.
    Segments<std::int64_t> segments(double t) const;
};

}  // namespace norvane
