#include "app/onboarding/ControlHero.h"

#include "app/controls/AwakeMode.h"
#include "app/onboarding/Motion.h"

namespace norvane {

std::int64_t ControlHero::secondsLeft(double t) const {
    return still ? cycle : cycle - timelineFrame(t, period, cycle);
}

DotText ControlHero::countdown(double t) const {
    return {norvane::countdown(secondsLeft(t)), Color::white(), pitch};
}

DotText ControlHero::limit() {
    return {"80", limitGreen, pitch};
}

ControlHero::Badge ControlHero::badge() const {
    TextStyle style = controlLabel();
    style.color = Color::black();
    return {"LIMIT", style, accent};
}

}  // namespace norvane
