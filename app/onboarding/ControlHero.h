#pragma once
// The control page's picture: two cards side by side, a keep-awake timer counting down
// from 0:45:00 once a second and a charge limit held at 80.

#include <cstdint>
#include <string>

#include "app/visuals/DotText.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

struct ControlHero {
    static constexpr double period = 1;
    static constexpr int cycle = 2700;               // 45 minutes
    static constexpr double spacing = 10;            // between the cards
    static constexpr double horizontalPadding = 44;  // around the pair
    static constexpr double cardPadding = 14;
    static constexpr double cardHeight = 76;  // content at the top left
    static constexpr double cardSpacing = 10;
    static constexpr double limitSpacing = 10;  // the figure and its badge, centred
    static constexpr double pitch = 4;
    static constexpr const char* awakeLabel = "Stay awake";  // both in the small-capitals style
    static constexpr const char* limitLabel = "Charge limit";
    static constexpr Color limitGreen{0.52, 0.78, 0.60, 1};

    // A capsule around black text in the accent.
    struct Badge {
        std::string text = "LIMIT";
        TextStyle style;
        Color fill;
        static constexpr double horizontalPadding = 9;
        static constexpr double verticalPadding = 5;
        bool operator==(const Badge&) const = default;
    };

    Color accent;
    bool still = false;

    // From 2700 down to 1, then 2700 again; never 0.
    std::int64_t secondsLeft(double t) const;
    DotText countdown(double t) const;  // H:MM:SS in white
    static DotText limit();             // "80" in the limit's green
    Badge badge() const;
};

}  // namespace norvane
