#pragma once
// The small 5 x 5 dot mark of a permission: a tick when granted, a cross when it failed, an
// unlit grid when nothing is under way, and three dots turning round the edge while the
// state is being checked (white) or waits for the user (amber).

#include <optional>
#include <string>
#include <vector>

#include "app/onboarding/Access.h"
#include "app/visuals/DotGlyph.h"

namespace norvane {

struct AccessMark {
    static constexpr double pitch = 4;
    static constexpr double period = 0.12;  // one step round the edge
    static constexpr int cycle = 12;

    // The grid with three neighbouring edge dots lit from the frame on; all unlit without one.
    static std::vector<std::string> turning(std::optional<int> frame);
    // Whether the state turns (and so needs a timeline).
    static bool turns(const Access& access);
    // At `t` seconds after the reference date; still: the first frame.
    static DotGlyph glyph(const Access& access, bool still, double t);
};

}  // namespace norvane
