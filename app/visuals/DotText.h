#pragma once
// Text in the 5x7 dot font: digits, ":", "-" and the capitals of the product's name.
// Characters the font lacks are skipped without leaving a gap.

#include <string>

#include "app/visuals/DotLayout.h"

namespace norvane {

struct DotText {
    std::string text;
    Color color;  // of the lit dots
    double pitch = 1;

    // Columns the text takes: each glyph's width plus one blank column between glyphs;
    // -1 when no character is in the font.
    int columns() const;
    // Frame: pitch x max(columns, 1) by pitch x 7.
    DotLayout layout() const;
    bool operator==(const DotText&) const = default;
};

}  // namespace norvane
