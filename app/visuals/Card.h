#pragma once
// The look of every boxed group: content inset by a padding, stretched across the width
// it is offered, on a faint rounded panel with a slightly brighter hairline drawn inside
// its edge.

#include "platform/Color.h"

namespace norvane {

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Rect&) const = default;
};

struct Card {
    double padding = 14;  // no default at the call sites: 14, 12 or 0

    static constexpr double cornerRadius = 20;
    static constexpr Color fill = Color::white(0.06);
    static constexpr Color edge = Color::white(0.08);
    static constexpr double edgeWidth = 1;

    struct Geometry {
        Rect card;     // filled
        Rect edge;     // the hairline's path: inset by half its width, so none of it is cut off
        Rect content;  // at the leading edge, inset by the padding
        bool operator==(const Geometry&) const = default;
    };
    // In a container of the given width, for content of the given size.
    Geometry geometry(double containerWidth, double contentWidth, double contentHeight) const;
};

inline Card card(double padding) { return Card{padding}; }

}  // namespace norvane
