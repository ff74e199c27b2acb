#pragma once
// How app icons are drawn: as the system draws them, or as dots.

#include <array>
#include <optional>
#include <string_view>

namespace norvane {

enum class IconStyle {
    original,    // always the system's icons
    list,        // dot icons where a mark stands in a list of apps, system icons elsewhere
    everywhere,  // dot icons everywhere
};

inline constexpr std::array<IconStyle, 3> allIconStyles{IconStyle::original, IconStyle::list, IconStyle::everywhere};

// The stored text: "original", "list", "everywhere".
std::string_view rawValue(IconStyle style);
// Absent for any other text.
std::optional<IconStyle> iconStyle(std::string_view raw);

}  // namespace norvane
