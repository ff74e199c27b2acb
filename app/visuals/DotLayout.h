#pragma once
// What a dot view draws: filled circles at places within a frame, y growing downwards.
// The painting half draws a layout as it stands.

#include <vector>

#include "platform/Color.h"

namespace norvane {

struct Dot {
    double x = 0;  // centre
    double y = 0;
    double diameter = 0;
    Color color;

    // The dot that fills the square with top-left corner (left, top) and the given side.
    static Dot inSquare(double left, double top, double side, Color color) {
        return {left + side / 2, top + side / 2, side, color};
    }
    bool operator==(const Dot&) const = default;
};

struct DotLayout {
    double width = 0;
    double height = 0;
    std::vector<Dot> dots;
};

}  // namespace norvane
