#include "app/model/IconStyle.h"

namespace norvane {

std::string_view rawValue(IconStyle style) {
    switch (style) {
        case IconStyle::original: return "original";
        case IconStyle::list: return "list";
        case IconStyle::everywhere: break;
    }
    return "everywhere";
}

std::optional<IconStyle> iconStyle(std::string_view raw) {
    for (IconStyle style : allIconStyles)
        if (rawValue(style) == raw) return style;
    return std::nullopt;
}

}  // namespace norvane
