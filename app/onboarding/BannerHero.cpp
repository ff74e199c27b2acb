#include "app/onboarding/BannerHero.h"

#include "app/onboarding/Motion.h"

namespace norvane {

const std::array<BannerHero::Alert, BannerHero::cycle>& BannerHero::alerts() {
    static constexpr std::array<Alert, cycle> table{
        {{"Charged to 80%", "You can unplug now."},
         {"Battery at 20%", "Time to plug in."},
         {"Charged to your 80% limit", "macOS is holding the charge here."}}};
    return table;
}

int BannerHero::index(double t) const {
    return still ? 0 : timelineFrame(t, period, cycle);
}

TextStyle BannerHero::titleStyle() {
    return {.size = 13, .weight = FontWeight::semibold};
}
TextStyle BannerHero::bodyStyle() {
    return {.size = 12, .color = Color::white(0.65)};
}

}  // namespace norvane
