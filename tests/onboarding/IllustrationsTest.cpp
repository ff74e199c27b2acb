#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/onboarding/AccessCard.h"
#include "app/onboarding/AccessMark.h"
#include "app/onboarding/BannerHero.h"
#include "app/onboarding/ChargeHero.h"
#include "app/onboarding/ControlHero.h"
#include "app/onboarding/LogoMark.h"
#include "app/onboarding/MenuBarHero.h"
#include "app/onboarding/ModesHero.h"
#include "app/onboarding/Motion.h"
#include "app/visuals/ChargeTone.h"

namespace norvane {
namespace {

using namespace access_state;

constexpr double e = 1e-6;  // just after a boundary, or just before it with a minus

// Which turning frame the mark shows: -1 for a grid that does not turn.
int turningFrame(const Access& access, bool still, double t) {
    const DotGlyph glyph = AccessMark::glyph(access, still, t);
    for (int frame = 0; frame < AccessMark::cycle; ++frame)
        if (glyph.rows == AccessMark::turning(frame)) return frame;
    return -1;
}

TEST(Illustrations, EachPictureCountsItsFramesOnTheClockAndStandsStillWhenAsked) {
    struct Row {
        const char* name;
        std::function<std::int64_t(bool still, double t)> frame;
        std::vector<std::pair<double, std::int64_t>> at;  // t, what it shows
        std::int64_t still;
    };
    const std::vector<Row> rows{
        {"access mark",
         [](bool still, double t) { return turningFrame(Checking{}, still, t); },
         {{e, 0}, {0.12 - e, 0}, {0.12 + e, 1}, {1.44 - e, 11}, {1.44 + e, 0}, {-e, 11}, {-1.44 + e, 0}},
         0},
        {"logo",
         [](bool still, double t) {
             return LogoMark{still, 26}.fill(t);
         },
         {{e, 0}, {0.28 - e, 0}, {0.28 + e, 1}, {1.12 + e, 4}, {3.92 - e, 4}, {3.92 + e, 0}, {-e, 4}, {-3.92 + e, 0}},
         4},
        {"charge",
         [](bool still, double t) { return ChargeHero{still}.percent(t); },
         {{e, 0},
          {0.05 + e, 1},
          {0.2 + e, 6},
          {2.57, 81},
          {2.6 - e, 81},
          {2.6 + e, 82},
          {7 - e, 82},
          {7 + e, 0},
          {-e, 82},
          {-7 + e, 0}},
         82},
        {"control",
         [](bool still, double t) {
             return ControlHero{{}, still}.secondsLeft(t);
         },
         {{e, 2700}, {1 - e, 2700}, {1 + e, 2699}, {2700 - e, 1}, {2700 + e, 2700}, {-e, 1}, {-2700 + e, 2700}},
         2700},
        {"banner",
         [](bool still, double t) { return BannerHero{still}.index(t); },
         {{e, 0}, {2.6 - e, 0}, {2.6 + e, 1}, {7.8 - e, 2}, {7.8 + e, 0}, {-e, 2}, {-7.8 + e, 0}},
         0},
        {"modes",
         [](bool still, double t) { return ModesHero{still}.index(t); },
         {{e, 0}, {1.6 - e, 0}, {1.6 + e, 1}, {4.8 - e, 2}, {4.8 + e, 0}, {-e, 2}, {-4.8 + e, 0}},
         1},
    };
    const double nowish = referenceSeconds(Date{1'796'724'000});
    for (const Row& row : rows) {
        for (const auto& [t, shown] : row.at)
            EXPECT_EQ(row.frame(false, t), shown) << row.name << " at " << t;
        for (const double t : {0.0, -5.0, nowish, 1e12})
            EXPECT_EQ(row.frame(true, t), row.still) << row.name;
        // Far from the reference date, before or after it, every frame stays in its cycle.
        for (const double t : {-1e15, 1e15, nowish}) {
            const auto shown = row.frame(false, t);
            EXPECT_TRUE(shown >= 0 && shown <= 2700) << row.name << " " << t;
        }
    }
    for (const double t : {std::nan(""), std::numeric_limits<double>::infinity(), -1e308})
        EXPECT_EQ(timelineFrame(t, 0.05, 140), 0) << t;
    EXPECT_EQ(referenceSeconds(Date{978'307'200}), 0);
}

TEST(Illustrations, WhatTheFramesShow) {
    // The mark: a tick, a cross, an unlit grid, or a white arc turning amber while waiting.
    EXPECT_EQ(AccessMark::glyph(Granted{}, false, 0),
              (DotGlyph{{"00000", "00001", "00010", "10100", "01000"}, grantedGreen, 4}));
    EXPECT_EQ(AccessMark::glyph(Failed{"x"}, true, 0).color, failureRed);
    for (const Access& quiet : {Access(NotAsked{}), Access(Unavailable{"r"})})
        EXPECT_EQ(AccessMark::glyph(quiet, false, 0.5),
                  (DotGlyph{std::vector<std::string>(5, "00000"), Color::white(), 4}));
    EXPECT_EQ(AccessMark::turning(0), (std::vector<std::string>{"01110", "00000", "00000", "00000", "00000"}));
    EXPECT_EQ(AccessMark::turning(11), (std::vector<std::string>{"01100", "10000", "00000", "00000", "00000"}));
    EXPECT_EQ(AccessMark::glyph(NeedsSettings{}, false, 0.5).rows, AccessMark::glyph(Checking{}, false, 0.5).rows);
    EXPECT_EQ(AccessMark::glyph(NeedsSettings{}, false, 0.5).color, waitingAmber);

    // The logo: lit columns bright, the fifth never, a red tip right of the middle row.
    const DotLayout logo = LogoMark{true, 10}.layout(0);
    ASSERT_EQ(logo.dots.size(), 16u);
    EXPECT_EQ(
        std::count_if(logo.dots.begin(), logo.dots.end(), [](const Dot& d) { return d.color == Color::white(0.95); }),
        12);
    EXPECT_EQ(logo.dots.back(), Dot::inSquare(50, 10, 7.4, signalRed));
    EXPECT_EQ(std::tuple(logo.width, logo.height), std::tuple(60.0, 30.0));

    // The ring and its figure in the charge's colour, both centred in 150 x 150.
    const DotLayout ring = ChargeHero{true}.layout(0);
    EXPECT_EQ(ring.dots.front().color, color(chargeTone(82)));
    EXPECT_EQ(ring.dots.size(), 60u + 70u);  // the ring and two digits of 5 x 7 dots
    EXPECT_EQ(ChargeHero{false}.layout(0.2 + e).dots.front().color, color(ChargeTone::low));

    EXPECT_EQ((ControlHero{{}, true}.countdown(0).text), "0:45:00");
    EXPECT_EQ((ControlHero{{}, false}.countdown(2700 - e).text), "0:00:01");
    EXPECT_STREQ(BannerHero{true}.alert(0).title, "Charged to 80%");
    const auto modes = ModesHero{true}.segments(0).segments();
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(std::tuple(modes[0].title, modes[1].title, modes[2].title), std::tuple("LOW", "AUTO", "HIGH"));
    EXPECT_TRUE(modes[1].selected && !modes[0].selected && !modes[2].selected);
    EXPECT_STREQ(ModesHero{true}.entry(0).caption, "Automatic · plugged in");

    // The menu bar's item lights its tip from 100 % as the status item does; the clock is the
    // locale's.
    const auto tip = [](std::int64_t percent) { return MenuBarHero{"", percent}.icon().dots.back().color.opacity; };
    EXPECT_EQ(std::pair(tip(99), tip(100)), std::pair(0.3, 1.0));
    EXPECT_EQ(MenuBarHero::clock(DateFormatter("en_GB", "UTC"), Date{1'796'724'000}), "Tue 10:00");
}

}  // namespace
}  // namespace norvane
