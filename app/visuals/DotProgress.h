#pragma once
// A full-width line of 36 dots for a progress fraction, such as an update's download.

#include <string>

#include "app/visuals/DotLayout.h"

namespace norvane {

struct DotProgress {
    double fraction = 0;  // 0...1
    Color color;

    static constexpr int count = 36;
    static constexpr double height = 6;
    DotLayout layout(double width) const;

    static constexpr const char* accessibilityLabel = "Progress";
    // The whole percent followed by " percent"; a fraction outside 0...1 (or not a number)
    // reads as the nearest end.
    std::string accessibilityValue() const;
};

}  // namespace norvane
