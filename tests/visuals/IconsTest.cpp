#include <gtest/gtest.h>

#include <cmath>

#include "app/visuals/AppMark.h"
#include "tests/visuals/Lit.h"

namespace norvane {
namespace {

TEST(IconStyle, RawValuesReadBackAndNothingElseReads) {
    for (IconStyle style : allIconStyles) EXPECT_EQ(iconStyle(rawValue(style)), style);
    EXPECT_EQ(rawValue(IconStyle::list), "list");
    for (const char* other : {"", "List", "dots", "original "}) EXPECT_FALSE(iconStyle(other)) << other;
}

TEST(DotIcon, OpaqueEnoughSamplesAreDrawnInTheirColour) {
    const DotIcon icon{"/A.app", 2, 10};
    const auto layout = icon.layout({{1, 0, 0, 1}, {0, 1, 0, 0.35}, {0, 0, 1, 0.36}, {0, 0, 0, 0}});
    ASSERT_EQ(layout.dots.size(), 4u);
    EXPECT_DOUBLE_EQ(layout.width, 20);
    EXPECT_EQ(layout.dots[0].color, (Color{1, 0, 0, 1}));
    EXPECT_EQ(layout.dots[1].color, Color::white(0.07));
    EXPECT_EQ(layout.dots[2].color, (Color{0, 0, 1, 1}));  // the alpha itself is not used
    EXPECT_EQ(layout.dots[3].color, Color::white(0.07));
    EXPECT_DOUBLE_EQ(layout.dots[3].x, 10 + 3.9);  // column 1, row 1, side 7.8
    EXPECT_DOUBLE_EQ(layout.dots[3].y, 10 + 3.9);
    EXPECT_TRUE(icon.layout({}).dots.empty());
}

TEST(DotIcon, SamplesAreCachedPerPathAndCellCount) {
    int calls = 0;
    bool available = false;
    const DotIcon::Sampler sampler = [&](const std::string&, int cells) -> std::optional<DotColors> {
        ++calls;
        if (!available) return std::nullopt;
        return DotColors(static_cast<std::size_t>(cells * cells), {1, 1, 1, 1});
    };
    const DotIcon nine{"/Cache Test.app", 9, 2}, eleven{"/Cache Test.app", 11, 2};
    EXPECT_TRUE(nine.colors(sampler).empty());  // not available: nothing kept, asked again
    EXPECT_FALSE(DotIcon::cache().contains(nine.key()));
    available = true;
    EXPECT_EQ(nine.colors(sampler).size(), 81u);
    EXPECT_EQ(eleven.colors(sampler).size(), 121u);
    EXPECT_EQ(nine.colors(sampler).size(), 81u);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(nine.key(), "/Cache Test.app#9");
    EXPECT_TRUE(DotIcon::cache().contains("/Cache Test.app#11"));
}

TEST(AppMark, DotsOrSystemIconByStyleAndPlace) {
    struct Case {
        IconStyle style;
        bool inList;
        double size;
        int cells;  // 0: the system's icon
    };
    const Case cases[] = {
        {IconStyle::original, true, 22, 0},   {IconStyle::list, true, 20, 11},        {IconStyle::list, false, 22, 0},
        {IconStyle::everywhere, false, 19.9, 9}, {IconStyle::everywhere, true, 16, 9}, {IconStyle::list, true, std::nan(""), 9},
    };
    for (const auto& c : cases) {
        const auto dots = AppMark{"/A.app", c.size, c.inList}.dots(c.style);
        EXPECT_EQ(dots ? dots->cells : 0, c.cells) << rawValue(c.style) << c.inList << c.size;
        if (dots && c.size == 20) {
            EXPECT_DOUBLE_EQ(dots->pitch, 20.0 / 11);
        }
    }
    // Energy-list entries pass inList false, so `list` shows them the system's icon.
    const AppIcon row{{"/A.app", "A", 3, 1}, 22};
    EXPECT_FALSE(row.mark().dots(IconStyle::list));
    EXPECT_TRUE(row.mark().dots(IconStyle::everywhere));
    EXPECT_TRUE((AppIcon{{"", "System", 5, 9}, 22}.isSystem()));
}

}  // namespace
}  // namespace norvane
