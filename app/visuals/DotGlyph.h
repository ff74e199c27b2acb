#pragma once
// One free-form dot glyph given as rows of "0" and "1" (an agent's logo, a mark of the tour).

#include <string>
#include <vector>

#include "app/visuals/DotLayout.h"

namespace norvane {

struct DotGlyph {
    std::vector<std::string> rows;  // from the top; "1" lit, anything else unlit
    Color color;                    // of the lit dots
    double pitch = 1;               // from one dot's cell to the next

    static constexpr double dotShare = 0.72;     // of the pitch
    static constexpr double unlitOpacity = 0.07;  // unlit dots stay visible as faint white

    // The frame is sized by the first row; rows of other widths are drawn all the same.
    DotLayout layout() const;

    // The dot of a glyph at a cell: it sits at the top-left of the cell.
    static Dot dot(double pitch, double column, double row, bool lit, Color color);
    bool operator==(const DotGlyph&) const = default;
};

}  // namespace norvane
