#include <gtest/gtest.h>

#include "app/visuals/Backdrop.h"
#include "app/visuals/Card.h"
#include "app/visuals/ChargeTone.h"
#include "app/visuals/Pill.h"
#include "app/visuals/Segments.h"
#include "app/visuals/WallpaperTint.h"

namespace norvane {
namespace {

TEST(ChargeTone, StepsOfTheCharge) {
    const std::pair<std::int64_t, ChargeTone> cases[] = {
        {-3, ChargeTone::empty}, {5, ChargeTone::empty}, {6, ChargeTone::low},   {20, ChargeTone::low},
        {21, ChargeTone::middle}, {30, ChargeTone::middle}, {31, ChargeTone::good}, {95, ChargeTone::good},
        {96, ChargeTone::full},  {400, ChargeTone::full}};
    for (auto [percent, tone] : cases) EXPECT_EQ(chargeTone(percent), tone) << percent;
    EXPECT_EQ(color(ChargeTone::middle), (Color{0.93, 0.79, 0.36, 1}));
}

TEST(WallpaperTint, HueFromASaturatedDesktopElseFromTheAccent) {
    const Color blue{0, 0.5, 1, 1};  // hue 7/12
    struct Case {
        std::optional<Color> accent;
        std::optional<Color> desktop;
        double hue;
    };
    const Case cases[] = {
        {blue, std::nullopt, 7.0 / 12},
        {std::nullopt, std::nullopt, 0.1},                 // the accent could not be had
        {blue, Color{0.5, 0.5, 0.5, 1}, 7.0 / 12},         // greys have no hue
        {blue, Color{0, 0, 0, 1}, 7.0 / 12},
        {blue, Color{1, 0.92, 0.92, 1}, 7.0 / 12},         // saturation exactly 0.08
        {blue, Color{1, 0.9, 0.9, 1}, 0},                  // 0.1: the desktop's red
        {std::nullopt, Color{0.2, 0.6, 0.2, 1}, 1.0 / 3},
        {Color{0.4, 0.4, 0.4, 1}, std::nullopt, 0},        // a grey accent
    };
    for (const auto& c : cases) {
        const Color tint = wallpaperTint(c.accent, c.desktop);
        EXPECT_NEAR(tint.hue(), c.hue, 1e-9);
        EXPECT_NEAR(tint.saturation(), 0.32, 1e-9);
        EXPECT_NEAR(tint.brightness(), 0.96, 1e-9);
        EXPECT_EQ(tint.opacity, 1);
    }
}

TEST(Pill, PressedAndDisabledFaces) {
    const Pill pill{Color{0.2, 0.4, 0.6, 1}, Color::black()};
    EXPECT_EQ(pill.face(true, false).fill, pill.fill.withOpacity(0.6));
    EXPECT_EQ(pill.face(true, false).opacity, 0.4);
    EXPECT_EQ(pill.face(false, true), (Pill::Face{pill.face(false, true).label, pill.fill, 1.0}));
    EXPECT_TRUE(pill.face(false, true).label.uppercase);
}

TEST(Segments, OnlyTheSelectedOptionIsMarked) {
    Segments<int> picker{{15, 30, 60}, 45, false, [](const int& m) { return std::to_string(m) + "m"; }};
    for (const auto& s : picker.segments()) {
        EXPECT_FALSE(s.selected);
        EXPECT_EQ(s.label.color, Color::white(0.7));
        EXPECT_EQ(s.fill, Color::clear());
    }
    picker.tap(1);
    picker.tap(7);  // no such segment
    EXPECT_EQ(picker.selection, 30);
    picker.compact = true;
    const auto segments = picker.segments();
    EXPECT_EQ(segments[1], segment("30m", true, true));
    EXPECT_EQ(segments[1].label.color, Color::black());
    EXPECT_EQ(segments[1].fill, Color::white(0.9));
    EXPECT_EQ(segments[1].horizontalPadding, 6);
    EXPECT_EQ(segments[0].horizontalPadding, 6);
}

TEST(Backdrop, GlassFromMacOS26FrostBefore) {
    for (int major : {14, 15}) EXPECT_FALSE(Backdrop::forSystem(major).isGlass()) << major;
    for (int major : {26, 27}) EXPECT_TRUE(Backdrop::forSystem(major).isGlass()) << major;
    for (int major : {15, 26}) {
        const auto backdrop = Backdrop::forSystem(major);
        const Color translucent = backdrop.fill(true), opaque = backdrop.fill(false);
        EXPECT_GT(translucent.opacity, 0.5);
        EXPECT_LT(translucent.opacity, 1);
        EXPECT_EQ(opaque, translucent.withOpacity(1));
        EXPECT_LT(opaque.brightness(), 0.15);  // dark either way
    }
    EXPECT_EQ(Backdrop::forSystem(26).cornerRadius(), 18);
}

TEST(Card, StretchesAcrossAndInsetsItsContent) {
    EXPECT_EQ(card(14).geometry(300, 100, 40),
              (Card::Geometry{{0, 0, 300, 68}, {0.5, 0.5, 299, 67}, {14, 14, 100, 40}}));
    EXPECT_EQ(card(0).geometry(300, 100, 40).card, (Rect{0, 0, 300, 40}));
    EXPECT_EQ(card(12).geometry(50, 100, 10).card.width, 124);  // content wider than the container
}

}  // namespace
}  // namespace norvane
