#pragma once
// The closing page's picture: a still mock of the menu bar with the app's item (the same
// battery image as the status item, and its text), a clock, and a dot arrow pointing up at
// the item.

#include <array>
#include <cstdint>
#include <string>

#include "app/visuals/DotGlyph.h"
#include "app/visuals/DotLayout.h"
#include "platform/DateFormatter.h"

namespace norvane {

struct MenuBarHero {
    static constexpr double spacing = 14;  // bar over arrow
    // The bar: a faint capsule holding the other items, the app's item and the clock.
    static constexpr double barSpacing = 14;
    static constexpr double barHorizontalPadding = 16;
    static constexpr double barVerticalPadding = 8;
    static constexpr Color barFill = Color::white(0.06);
    static constexpr std::array<const char*, 2> otherItems{"wifi", "magnifyingglass"};
    static constexpr Color dimmed = Color::white(0.3);  // the other items and the clock
    static constexpr double textSize = 13;
    // The app's item: the image and the text on a lighter rounded rectangle.
    static constexpr double itemSpacing = 6;
    static constexpr double itemHorizontalPadding = 9;
    static constexpr double itemVerticalPadding = 5;
    static constexpr double itemCornerRadius = 6;
    static constexpr Color itemFill = Color::white(0.16);

    std::string text;  // the menu-bar title
    std::int64_t percent = 0;

    // The status item's image (no keep-awake dot), drawn in the text's colour.
    DotLayout icon() const;
    // White, four points a dot.
    static DotGlyph arrow();
    // Abbreviated weekday, hour and minute as the locale writes them ("Tue 10:00 AM"), at the
    // moment the picture is built: it has no clock of its own.
    static std::string clock(const DateFormatter& format, Date now) { return format.weekdayAndTime(now); }
};

}  // namespace norvane
