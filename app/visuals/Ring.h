#pragma once
// The charge as a circle of 60 dots, lit clockwise from twelve o'clock.

#include <cstdint>

#include "app/visuals/DotLayout.h"

namespace norvane {

struct Ring {
    std::int64_t percent = 0;  // 0...100
    Color color;               // of the lit dots
    bool blink = false;        // also light the dot after the lit ones

    static constexpr int count = 60;
    // Fills the size it is given.
    DotLayout layout(double width, double height) const;
};

}  // namespace norvane
