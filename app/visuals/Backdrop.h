#pragma once
// The dark translucent background behind the panel and the tour: the glass material on
// macOS 26 and later, a frosted one darkened by black on older systems. Nothing here can
// blur what lies behind a window, so each is drawn as a translucent fill in its tone when
// a compositor shows translucency, and opaque in the same tone when none does.

#include <variant>

#include "platform/Color.h"

namespace norvane {

struct Glass {
    static constexpr double cornerRadius = 18;
    static constexpr Color tint = Color::black(0.42);
    static constexpr Color material{0.20, 0.20, 0.22, 0.55};  // the regular glass in the dark look
};

struct Frost {
    static constexpr Color material{0.12, 0.12, 0.13, 0.80};  // the HUD window material in the dark look
    static constexpr Color darkening = Color::black(0.38);
};

struct Backdrop {
    std::variant<Glass, Frost> effect;

    // Chosen by the running system's major version; settings made once stay as they are.
    static Backdrop forSystem(int majorVersion);

    bool isGlass() const { return std::holds_alternative<Glass>(effect); }
    double cornerRadius() const { return isGlass() ? Glass::cornerRadius : 0; }
    // The one colour that the layers give together; opaque when nothing shows through.
    Color fill(bool translucent) const;
};

}  // namespace norvane
