#include "app/visuals/DotGlyph.h"

namespace norvane {

Dot DotGlyph::dot(double pitch, double column, double row, bool lit, Color color) {
    return Dot::inSquare(pitch * column, pitch * row, dotShare * pitch, lit ? color : Color::white(unlitOpacity));
}

DotLayout DotGlyph::layout() const {
    DotLayout out;
    out.width = pitch * static_cast<double>(rows.empty() ? 0 : rows.front().size());
    out.height = pitch * static_cast<double>(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            out.dots.push_back(dot(pitch, static_cast<double>(c), static_cast<double>(r), rows[r][c] == '1', color));
    return out;
}

}  // namespace norvane
