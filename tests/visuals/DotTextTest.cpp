#include <gtest/gtest.h>

#include "app/visuals/DotGlyph.h"
#include "app/visuals/DotText.h"
#include "tests/visuals/Lit.h"

namespace norvane {
namespace {

using testing::litCount;

const Color red{1, 0, 0, 1};
const Color faint = Color::white(0.07);

TEST(DotText, ColumnsAndFrame) {
    struct Case {
        const char* text;
        int columns;
        std::size_t dots;
    };
    const Case cases[] = {
        {"9:41", 19, 3 * 35 + 7}, {"", -1, 0},          {"abc  ", -1, 0},
        {"NORVANE", 41, 7 * 35},  {"\xC3\xA9-", 5, 35},  // "é" is not in the font and leaves no column
    };
    for (const auto& c : cases) {
        const DotText text{c.text, red, 2};
        EXPECT_EQ(text.columns(), c.columns) << c.text;
        const auto layout = text.layout();
        EXPECT_DOUBLE_EQ(layout.width, 2.0 * std::max(c.columns, 1)) << c.text;
        EXPECT_DOUBLE_EQ(layout.height, 14) << c.text;
        EXPECT_EQ(layout.dots.size(), c.dots) << c.text;
    }
    // Skipped characters leave no gap.
    EXPECT_EQ(DotText("12 34", red, 3).layout().dots, DotText("1234", red, 3).layout().dots);
}

TEST(DotText, DotsSitAtTheTopLeftOfTheirCells) {
    // "-:" : the minus lights row 4 only; the colon (column 6) rows 3 and 5 only.
    const auto layout = DotText{"-:", red, 10}.layout();
    ASSERT_EQ(layout.dots.size(), 42u);
    std::vector<std::pair<double, double>> lit;
    for (const auto& d : layout.dots) {
        EXPECT_DOUBLE_EQ(d.diameter, 7.2);
        if (d.color == red)
            lit.emplace_back(d.x, d.y);
        else
            EXPECT_EQ(d.color, faint);
    }
    const std::vector<std::pair<double, double>> expected{{3.6, 33.6},  {13.6, 33.6}, {23.6, 33.6}, {33.6, 33.6},
                                                          {43.6, 33.6}, {63.6, 23.6}, {63.6, 43.6}};
    ASSERT_EQ(lit.size(), expected.size());
    for (std::size_t i = 0; i < lit.size(); ++i) {
        EXPECT_NEAR(lit[i].first, expected[i].first, 1e-9);
        EXPECT_NEAR(lit[i].second, expected[i].second, 1e-9);
    }
}

TEST(DotGlyph, FrameFollowsTheFirstRow) {
    const auto none = DotGlyph{{}, red, 3}.layout();
    EXPECT_TRUE(none.dots.empty());
    EXPECT_DOUBLE_EQ(none.width, 0);
    const auto ragged = DotGlyph{{"101", "1", "11111"}, red, 2}.layout();
    EXPECT_DOUBLE_EQ(ragged.width, 6);
    EXPECT_DOUBLE_EQ(ragged.height, 6);
    EXPECT_EQ(ragged.dots.size(), 9u);
    EXPECT_EQ(litCount(ragged, faint), 8);
}

}  // namespace
}  // namespace norvane
