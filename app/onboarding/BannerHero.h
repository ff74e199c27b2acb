#pragma once
// The notifications page's picture: a mock notification banner whose alert changes every
// 2.6 s, the new banner coming down 14 points from above while it fades in.

#include <array>
#include <string>

#include "app/onboarding/LogoMark.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

struct BannerHero {
    static constexpr double period = 2.6;
    static constexpr int cycle = 3;
    static constexpr double spacing = 12;  // icon, texts, space, "now"
    static constexpr double padding = 12;  // of the card
    static constexpr double width = 340;
    static constexpr double iconPadding = 7;
    static constexpr double iconCornerRadius = 9;
    static constexpr Color iconTile = Color{0.075, 0.075, 0.075, 1};
    static constexpr double textSpacing = 2;
    static constexpr double entrance = 14;      // points above its place where a new banner starts
    static constexpr const char* time = "now";  // in the small-capitals style

    struct Alert {
        const char* title;
        const char* body;
    };
    static const std::array<Alert, cycle>& alerts();

    bool still = false;

    int index(double t) const;
    const Alert& alert(double t) const { return alerts()[static_cast<std::size_t>(index(t))]; }
    // The app's icon: the mark standing still, 5 points a dot.
    static LogoMark icon() { return {true, 5}; }
    static TextStyle titleStyle();  // 13 points, semibold
    static TextStyle bodyStyle();   // 12 points, white at 65 %
};

}  // namespace norvane
