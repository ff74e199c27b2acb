#pragma once
// The button look of the prominent actions: a capsule with small capital monospaced text.

#include "app/visuals/TextStyle.h"

namespace norvane {

struct Pill {
    Color fill;  // of the capsule
    Color text;  // of the label

    static constexpr double horizontalPadding = 11;
    static constexpr double verticalPadding = 6;

    // What a pill draws in a state of its button.
    struct Face {
        TextStyle label;  // upper case, in the text colour
        Color fill;       // 60 % of the fill while pressed
        double opacity;   // of the whole pill: 40 % while disabled
        bool operator==(const Face&) const = default;
    };
    Face face(bool pressed, bool enabled) const;
    bool operator==(const Pill&) const = default;
};

}  // namespace norvane
