#include "app/visuals/HistoryChart.h"

#include <cmath>

namespace norvane {

DotLayout HistoryChart::layout(double width) const {
    DotLayout out{width, height, {}};
    if (columns.empty()) return out;
    const double pitch = width / static_cast<double>(columns.size());
    const double d = pitch * 0.62;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto& sample = columns[i];
        const double lit = sample ? std::ceil(static_cast<double>(sample->percent) / 10) : 0;
        for (int j = 0; j < 10; ++j) {
            Color color = Color::white(0.07);
            if (j < lit) {
                const bool top = j == lit - 1;
                color = sample->charging ? accent.multipliedOpacity(top ? 1.0 : 0.55) : Color::white(top ? 0.95 : 0.42);
            }
            out.dots.push_back(Dot::inSquare(pitch * static_cast<double>(i), pitch * (9 - j), d, color));
        }
    }
    return out;
}

}  // namespace norvane
