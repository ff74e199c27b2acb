#pragma once
// A short row of ten dots for a fraction, in lists and cards.

#include "app/visuals/DotLayout.h"

namespace norvane {

struct DotBar {
    double fraction = 0;  // 0...1
    Color color;

    static constexpr int count = 10;
    static constexpr double dot = 4;
    static constexpr double spacing = 3;
    // A fixed frame of 67 x 4.
    DotLayout layout() const;
    bool operator==(const DotBar&) const = default;
};

}  // namespace norvane
