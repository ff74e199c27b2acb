#include "app/visuals/DotBar.h"

namespace norvane {

DotLayout DotBar::layout() const {
    DotLayout out{count * dot + (count - 1) * spacing, dot, {}};
    for (int i = 0; i < count; ++i)
        out.dots.push_back(Dot::inSquare(i * (dot + spacing), 0, dot, fraction * count > i ? color : Color::white(0.12)));
    return out;
}

}  // namespace norvane
