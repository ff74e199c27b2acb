#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/visuals/DotBar.h"
#include "app/visuals/DotColumns.h"
#include "app/visuals/DotProgress.h"
#include "app/visuals/HistoryChart.h"
#include "app/visuals/MenuBarIcon.h"
#include "app/visuals/Ring.h"
#include "tests/visuals/Lit.h"

namespace norvane {
namespace {

using testing::litCount;

const Color green{0, 1, 0, 1};
constexpr double inf = std::numeric_limits<double>::infinity();
const double nan = std::nan("");

TEST(MenuBarIcon, ColumnsLightWithTheCharge) {
    struct Case {
        std::int64_t percent;
        long litColumns;
        bool tip;
    };
    const Case cases[] = {{0, 0, false},  {1, 1, false},         {16, 1, false},      {17, 2, false}, {50, 3, false},
                          {83, 5, false}, {84, 6, false},        {99, 6, false},      {100, 6, true}, {250, 6, true},
                          {-5, 0, false}, {INT64_MIN, 0, false}, {INT64_MAX, 6, true}};
    for (const auto& c : cases) {
        for (bool awake : {false, true}) {
            const auto icon = menuBarIcon(c.percent, awake);
            ASSERT_EQ(icon.dots.size(), awake ? 20u : 19u);
            EXPECT_EQ(litCount(DotLayout{0, 0, {icon.dots.begin(), icon.dots.begin() + 18}}, Color::black(0.3)),
                      c.litColumns * 3)
                << c.percent;
            EXPECT_EQ(icon.dots[18].color.opacity, c.tip ? 1.0 : 0.3) << c.percent;
        }
    }
    const auto awake = menuBarIcon(40, true);
    EXPECT_DOUBLE_EQ(awake.width, 25.2);
    EXPECT_DOUBLE_EQ(awake.height, 10.8);
    // The tip in the middle row, the awake dot above it (y grows upwards), bottom-right empty.
    EXPECT_DOUBLE_EQ(awake.dots[18].x, 6 * 3.6 + 1.3);
    EXPECT_DOUBLE_EQ(awake.dots[18].y, 3.6 + 1.8);
    EXPECT_DOUBLE_EQ(awake.dots[19].y, 7.2 + 1.8);
    EXPECT_EQ(awake.dots[19].color, Color::black(1));
}

TEST(Ring, LitDotsAtTheirBoundaries) {
    struct Case {
        std::int64_t percent;
        bool blink;
        long lit;
    };
    const Case cases[] = {{0, false, 0},   {0, true, 1},     {1, false, 1},  {50, false, 30},       {50, true, 31},
                          {100, true, 60}, {130, false, 60}, {-10, true, 0}, {INT64_MAX, false, 60}};
    for (const auto& c : cases) {
        const auto layout = Ring{c.percent, green, c.blink}.layout(120, 100);
        EXPECT_EQ(litCount(layout, Color::white(0.18)), c.lit) << c.percent << " " << c.blink;
    }
    const auto ring = Ring{0, green, true}.layout(120, 100);
    EXPECT_EQ(ring.dots[0], (Dot{60, 4, 4.5, green}));  // twelve o'clock, radius 100 / 2 - 4
    EXPECT_DOUBLE_EQ(ring.dots[1].diameter, 2.5);
    EXPECT_NEAR(ring.dots[15].x, 106, 1e-9);  // three o'clock, clockwise
    EXPECT_NEAR(ring.dots[15].y, 50, 1e-9);
}

TEST(DotBarAndProgress, LitDotsAtTheirBoundaries) {
    struct Case {
        double fraction;
        long bar;
        long progress;
        const char* value;
    };
    const Case cases[] = {{0, 0, 0, "0 percent"},     {0.05, 1, 2, "5 percent"},    {0.5, 5, 18, "50 percent"},
                          {1, 10, 36, "100 percent"}, {1.7, 10, 36, "100 percent"}, {-0.2, 0, 0, "0 percent"},
                          {nan, 0, 0, "0 percent"},   {inf, 10, 36, "100 percent"}, {-inf, 0, 0, "0 percent"}};
    for (const auto& c : cases) {
        EXPECT_EQ(litCount(DotBar{c.fraction, green}.layout(), Color::white(0.12)), c.bar) << c.fraction;
        const DotProgress progress{c.fraction, green};
        EXPECT_EQ(litCount(progress.layout(360), Color::white(0.12)), c.progress) << c.fraction;
        EXPECT_EQ(progress.accessibilityValue(), c.value);
    }
    const auto bar = DotBar{0, green}.layout();
    EXPECT_DOUBLE_EQ(bar.width, 67);
    EXPECT_DOUBLE_EQ(bar.dots[9].x, 65);
    const auto line = DotProgress{0, green}.layout(360);
    EXPECT_DOUBLE_EQ(line.dots[0].diameter, 6);  // min(height, 10 x 0.62)
    EXPECT_DOUBLE_EQ(line.dots[35].x, 355);
}

TEST(DotColumns, LevelsLightFromTheBottom) {
    EXPECT_TRUE(DotColumns{}.layout(100).dots.empty());
    const auto layout = DotColumns{{std::nullopt, 10, 3, 12, 0}}.layout(100);
    ASSERT_EQ(layout.dots.size(), 50u);
    auto opacities = [&](std::size_t column) {
        std::vector<double> out;
        for (int j = 0; j < 10; ++j)
            out.push_back(layout.dots[column * 10 + j].color.opacity);
        return out;
    };
    const double f = 0.07, l = 0.3, t = 0.95;
    EXPECT_EQ(opacities(0), std::vector<double>(10, f));
    EXPECT_EQ(opacities(1), (std::vector<double>{l, l, l, l, l, l, l, l, l, t}));
    EXPECT_EQ(opacities(2), (std::vector<double>{l, l, t, f, f, f, f, f, f, f}));
    EXPECT_EQ(opacities(3), std::vector<double>(10, l));  // above 10: no brighter top
    EXPECT_EQ(opacities(4), std::vector<double>(10, f));
    EXPECT_DOUBLE_EQ(layout.dots[0].diameter, 7);  // min(20 x 0.62, 7)
    EXPECT_DOUBLE_EQ(layout.dots[0].y, 72 + 3.5);  // bottom row
    EXPECT_DOUBLE_EQ(layout.dots[9].y, 3.5);       // top row
    EXPECT_DOUBLE_EQ(layout.dots[10].x, 20 + 10);
}

TEST(HistoryChart, ColumnsLightByTensOfPercent) {
    const Color accent{1, 0.5, 0, 1};
    EXPECT_TRUE((HistoryChart{{}, accent}.layout(100).dots.empty()));
    auto sample = [](std::int64_t percent, bool charging) {
        return std::optional<Sample>(Sample{Date{0}, percent, charging, charging});
    };
    const auto layout = HistoryChart{{std::nullopt, sample(0, false), sample(1, false), sample(11, false),
                                      sample(100, false), sample(45, true)},
                                     accent}
                            .layout(60);
    ASSERT_EQ(layout.dots.size(), 60u);
    auto column = [&](std::size_t i) {
        std::vector<Color> out;
        for (int j = 0; j < 10; ++j)
            out.push_back(layout.dots[i * 10 + j].color);
        return out;
    };
    const Color f = Color::white(0.07), top = Color::white(0.95), under = Color::white(0.42);
    EXPECT_EQ(column(0), std::vector<Color>(10, f));
    EXPECT_EQ(column(1), std::vector<Color>(10, f));
    EXPECT_EQ(column(2), (std::vector<Color>{top, f, f, f, f, f, f, f, f, f}));
    EXPECT_EQ(column(3), (std::vector<Color>{under, top, f, f, f, f, f, f, f, f}));
    EXPECT_EQ(column(4), (std::vector<Color>{under, under, under, under, under, under, under, under, under, top}));
    const Color a = accent.withOpacity(0.55);
    EXPECT_EQ(column(5), (std::vector<Color>{a, a, a, a, accent, f, f, f, f, f}));
    // The pitch of 10 holds both ways: the top row's square starts at 0, the bottom row's at 90.
    EXPECT_DOUBLE_EQ(layout.dots[9].y, 6.2 / 2);
    EXPECT_DOUBLE_EQ(layout.dots[0].y, 90 + 6.2 / 2);
}

}  // namespace
}  // namespace norvane
