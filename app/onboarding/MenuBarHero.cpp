#include "app/onboarding/MenuBarHero.h"

#include "app/visuals/MenuBarIcon.h"

namespace norvane {

DotLayout MenuBarHero::icon() const {
    return menuBarIcon(percent, false);
}

DotGlyph MenuBarHero::arrow() {
    return {{"00100", "01110", "10101", "00100", "00100"}, Color::white(), 4};
}

}  // namespace norvane
