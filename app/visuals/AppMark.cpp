#include "app/visuals/AppMark.h"

namespace norvane {

std::optional<DotIcon> AppMark::dots(IconStyle style) const {
    if (style == IconStyle::everywhere || (style == IconStyle::list && inList)) {
        const int n = cells(size);
        return DotIcon{path, n, size / n};
    }
    return std::nullopt;
}

}  // namespace norvane
