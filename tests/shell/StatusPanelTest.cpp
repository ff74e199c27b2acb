#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/shell/PanelPlacement.h"
#include "app/shell/StatusItemLook.h"

namespace norvane {
namespace {

TEST(PanelPlacement, UnderTheItemOrAboveATrayAtTheBottomInsideTheScreen) {
    const Rect visible{0, 24, 1440, 876};  // below a 24-point menu bar
    struct Case {
        const char* what;
        Rect item;
        double width, height;
        Point origin;
    };
    const Case cases[] = {
        {"in the middle of the menu bar", {600, 0, 60, 24}, 360, 500, {600, 26}},
        {"near the right end", {1400, 0, 40, 24}, 360, 500, {1072, 26}},
        {"near the left end", {2, 0, 40, 24}, 360, 500, {8, 26}},
        {"wider than the frame less the margins", {600, 0, 60, 24}, 1430, 500, {2, 26}},
        {"taller than the frame", {600, 0, 60, 24}, 360, 1000, {600, 24}},
        {"in a tray at the bottom", {1300, 900, 24, 24}, 360, 500, {1072, 398}},
        {"in a tray at the bottom, the panel too tall", {1300, 900, 24, 24}, 360, 890, {1072, 24}},
    };
    for (const auto& c : cases) EXPECT_EQ(panelOrigin(c.item, c.width, c.height, visible), c.origin) << c.what;
}

TEST(StatusItemLook, TheMarkOnlyWhileASessionHoldsAndAnyChangeIsSeen) {
    const AwakeSession session{AwakeMode::untilStopped(), Date{0}};
    const auto look = statusItemLook(72, session, AwakeStatus{AwakeStatus::Holding{}}, "72% · 3:05");
    EXPECT_EQ(look, (StatusItemLook{72, true, " 72% · 3:05", "Norvane, battery 72% · 3:05"}));
    EXPECT_FALSE(statusItemLook(72, session, AwakeStatus{AwakeStatus::LowBattery{}}, "72%").awake);
    EXPECT_FALSE(statusItemLook(72, std::nullopt, AwakeStatus{AwakeStatus::Holding{}}, "72%").awake);
    EXPECT_NE(look, statusItemLook(71, session, AwakeStatus{AwakeStatus::Holding{}}, "72% · 3:05"));
    EXPECT_NE(look, statusItemLook(72, session, AwakeStatus{AwakeStatus::Holding{}}, "72% · 3:04"));
    // A Mac without a battery: no charge in the image, and the label says why.
    EXPECT_EQ(statusItemLook(std::nullopt, std::nullopt, AwakeStatus{}, "No battery"),
              (StatusItemLook{0, false, " No battery", "Norvane, no battery"}));
}

TEST(StatusItemLook, InATrayTheImageTakesTheTraysColourOrStandsOutFromIt) {
    const auto grey = [](int level) { return Color{level / 255.0, level / 255.0, level / 255.0, 1}; };
    const auto tray = [&](int level, std::size_t dots = 0, int dot = 255) {
        std::vector<Color> pixels(40, grey(level));
        std::fill_n(pixels.begin(), dots, grey(dot));
        return pixels;
    };
    const TrayInk white{Color::white(), std::nullopt}, black{Color::black(), std::nullopt};
    struct Row {
        const char* what;
        std::optional<Color> foreground;
        std::vector<Color> pixels;
        TrayInk ink;
    };
    const Row rows[] = {
        {"the tray says its colour", Color{0.9, 0.8, 0.1, 0.5}, tray(0x20), {Color{0.9, 0.8, 0.1, 1}, std::nullopt}},
        {"a dark tray", std::nullopt, tray(0x20), white},
        {"a dark tray with light dots drawn on it", std::nullopt, tray(0x20, 15), white},
        {"a light tray", std::nullopt, tray(0xE0), black},
        {"a light tray with dark dots drawn on it", std::nullopt, tray(0xE0, 15, 0), black},
        {"mid grey leans to black", std::nullopt, tray(0x80), black},
        {"a saturated blue", std::nullopt, {40, Color{0, 0, 1, 1}}, white},
        {"the tray unseen: light dots on a dark body", std::nullopt, {}, {Color::white(), Color::black()}},
    };
    for (const auto& [what, foreground, pixels, ink] : rows) EXPECT_EQ(trayInk(foreground, pixels), ink) << what;
    EXPECT_EQ(std::tuple(relativeLuminance(Color::black()), relativeLuminance(Color::white())), std::tuple(0.0, 1.0));
}

TEST(StatusItemLook, InATrayTheBodyCoversTheCentredDotsWithAPixelToSpareAndLeavesTopAndBottomEmpty) {
    const auto inside = [](double from, double to, double lower, double upper) {
        return from >= lower - 1e-9 && to <= upper + 1e-9;
    };
    for (const int side : {16, 22, 64})
        for (const bool body : {false, true})
            for (const auto& [percent, awake] : {std::pair{72, false}, std::pair{100, true}}) {
                const TrayInk ink{Color::white(), body ? std::optional(Color::black()) : std::nullopt};
                const TrayImage image = trayImage(percent, awake, ink, side);
                const auto what = testing::Message() << side << " px, body " << body << ", " << percent << "%";
                ASSERT_EQ(image.dots.dots.size(), awake ? 20u : 19u) << what;
                double left = side, right = 0, top = side, bottom = 0;
                for (const Dot& dot : image.dots.dots) {
                    const double r = dot.diameter / 2;
                    left = std::min(left, dot.x - r), right = std::max(right, dot.x + r);
                    top = std::min(top, dot.y - r), bottom = std::max(bottom, dot.y + r);
                    const auto covered = [&](const Rect& box) {
                        return inside(dot.x - r - 1, dot.x + r + 1, box.x, box.x + box.width) &&
                               inside(dot.y - r - 1, dot.y + r + 1, box.y, box.y + box.height);
                    };
                    EXPECT_EQ(std::ranges::any_of(image.body, covered), body) << what;
                }
                EXPECT_NEAR(left, side - right, 1e-9) << what;
                EXPECT_NEAR(top, side - bottom, 1e-9) << what;
                EXPECT_GT(right - left, side * (body ? 0.8 : 0.99)) << what;
                // The tray's colour is read above and below the battery.
                const double band = side * trayIconMargin;
                EXPECT_GE(top, band) << what;
                for (const Rect& box : image.body)
                    EXPECT_TRUE(inside(box.x, box.x + box.width, 0, side) &&
                                inside(box.y, box.y + box.height, band, side - band))
                        << what;
            }
}

TEST(PanelPlacement, ALeftOrRightPressOutsideTheApplicationsWindowsClosesThePanel) {
    using B = ClickMonitor::Button;
    const std::vector<Rect> own{{1072, 26, 360, 500}, {1400, 0, 40, 24}};  // the panel, the item
    struct Case {
        const char* what;
        ClickMonitor::Press press;
        double ratio;
        bool closes;
        std::optional<std::uint32_t> openedBy = std::nullopt;  // the server's time of the opening input
    };
    const Case cases[] = {
        {"left on the desktop", {B::left, 100, 500}, 1, true},
        {"right in another window", {B::right, 1000, 300}, 1, true},
        {"the middle button", {B::other, 100, 500}, 1, false},
        {"in the panel", {B::left, 1072, 26}, 1, false},
        {"just past the panel's right edge", {B::left, 1432, 300}, 1, true},
        {"on the item", {B::right, 1420, 10}, 1, false},
        {"device pixels at twice the points: in the panel", {B::left, 2200, 600}, 2, false},
        {"device pixels at twice the points: outside", {B::left, 1200, 600}, 2, true},
        {"a ratio that is no number counts as one", {B::left, 1200, 300}, std::nan(""), false},
        // A press heard late: the one that opened the panel, or one before, closes nothing.
        {"the press that opened it", {B::left, 100, 500, 5000}, 1, false, 5000},
        {"a press before it opened", {B::left, 100, 500, 4000}, 1, false, 5000},
        {"a press after it opened", {B::left, 100, 500, 5001}, 1, true, 5000},
        {"after it opened, the server's clock gone round", {B::left, 100, 500, 10}, 1, true, 0xFFFFFFF0u},
        {"a press of no known time", {B::left, 100, 500, 0}, 1, true, 5000},
    };
    for (const auto& c : cases) EXPECT_EQ(pressClosesPanel(c.press, c.ratio, own, c.openedBy), c.closes) << c.what;
}

}  // namespace
}  // namespace norvane
