#include "app/visuals/Card.h"

#include <algorithm>

namespace norvane {

Card::Geometry Card::geometry(double containerWidth, double contentWidth, double contentHeight) const {
    const double width = std::max(containerWidth, contentWidth + 2 * padding);
    const double height = contentHeight + 2 * padding;
    const double half = edgeWidth / 2;
    return {{0, 0, width, height},
            {half, half, width - edgeWidth, height - edgeWidth},
            {padding, padding, contentWidth, contentHeight}};
}

}  // namespace norvane
