#pragma once
// A full-width line of 36 dots for a progress fraction, such as an update's download.

#include <cstdint>
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
    // The whole percent followed by " percent".
    std::string accessibilityValue() const;
    // The whole percent of a fraction, halves away from zero; a fraction outside 0...1 (or
    // not a number) counts as the nearest end. Whatever shows a progress in figures takes
    // it from here, so the bar and a text beside it never read two ways.
    static std::int64_t wholePercent(double fraction);
};

}  // namespace norvane
