#include "app/onboarding/TourPages.h"

#include "app/onboarding/ControlHero.h"

namespace norvane {
namespace {

constexpr double iconPitch = 2.6;
constexpr double glyphPitch = 4;

DotGlyph glyph(std::vector<std::string> rows, Color color) {
    return {std::move(rows), color, glyphPitch};
}

}  // namespace

TourPage tourPage(OnboardingStep step) {
    switch (step) {
        case OnboardingStep::welcome:
            return {Hero::logo, "Your battery, in plain dots",
                    "Norvane lives in the menu bar. It measures how long the charge lasts and what is using it, holds "
                    "the charge where the battery ages slowest, and keeps the Mac awake when you need it to. This tour "
                    "takes about a minute.",
                    PageContent::tiles, 3};
        case OnboardingStep::know:
            return {Hero::charge, "Know where the charge goes",
                    "The Now tab is the answer at a glance; Stats keeps the history.", PageContent::tiles, 2};
        case OnboardingStep::control:
            return {Hero::control, "Stay in control", "Everything switches in a tap or two, right in the panel.",
                    PageContent::tiles, 2};
        case OnboardingStep::notifications:
            return {
                Hero::banner, "Let Norvane tell you",
                "Norvane notifies you when the charge reaches a level you set, when your limit is reached, and when "
                "one app drains the battery unusually fast. Nothing else, and every alert has its own switch in the "
                "settings.",
                PageContent::accessCard};
        case OnboardingStep::helper:
            return {
                Hero::modes, "Switching energy modes",
                "Low Power and High Power are system settings that macOS lets only an administrator change. Norvane "
                "adds a small helper for exactly that: it runs one system command, starts when you flip the switch "
                "and quits 20 seconds later. Everything else works without it.",
                PageContent::accessCard};
        case OnboardingStep::finish:
            return {Hero::menuBar, "Norvane is in your menu bar",
                    "Click the dot battery at the top of the screen to open the panel. The gear there holds every "
                    "setting, and this tour too.",
                    PageContent::closing};
    }
    return {};
}

TextStyle PageLayout::titleStyle() {
    return {.size = 22, .weight = FontWeight::semibold};
}
TextStyle PageLayout::textStyle() {
    return {.size = 13, .color = Color::white(0.65), .wraps = true};
}
TextStyle Tile::titleStyle() {
    return {.size = 13, .weight = FontWeight::medium};
}

std::vector<Tile> tiles(OnboardingStep step, Color accent, Color waiting) {
    const Color white = Color::white();
    switch (step) {
        case OnboardingStep::welcome:
            return {{"See", "The charge, the time left and what is using it.", DotText{"1", accent, iconPitch}},
                    {"Control", "Charge limit, staying awake, energy modes.", DotText{"2", accent, iconPitch}},
                    {"Allow", "Two permissions, each with its reason.", DotText{"3", accent, iconPitch}}};
        case OnboardingStep::know:
            return {{"Time left, measured", "A first estimate in 15 seconds, then refined from the real draw.",
                     DotText{"3:30", white, iconPitch}},
                    {"What uses it", "Each app's share, and what quitting it really gave you.",
                     Bars{{{0.7, white}, {0.4, Color::white(0.6)}, {0.2, Color::white(0.6)}}}},
                    {"Nights and health", "What a night asleep cost, and how the capacity changes.",
                     glyph({"10000", "11000", "11010", "11011", "11111"}, white)},
                    {"One tip at a time", "A concrete step with its reason, when it applies.",
                     glyph({"00100", "00100", "11111", "00100", "00100"}, accent)}};
        case OnboardingStep::control:
            return {{"Charge limit", "Hold at 80% to slow ageing. One tap charges to 100% once.",
                     DotBar{0.8, ControlHero::limitGreen}},
                    {"Stay awake", "For a set time, while an app runs, or while coding agents work.",
                     DotText{"0:45", white, iconPitch}},
                    {"Energy modes", "Low and High Power, or Low by itself under a level you choose.",
                     DotBar{0.3, waiting}},
                    {"Alerts", "Plug in at 20%, unplug at 80%, an app that drains fast.",
                     glyph({"00100", "01110", "01110", "11111", "00100"}, white)}};
        case OnboardingStep::notifications:
        case OnboardingStep::helper:
        case OnboardingStep::finish:
            break;
    }
    return {};
}

ClosingRows closingRows(const Access& notifications, const Access& helper, bool inBundle, bool openAtLogin,
                        Color accent, Color granted, Color waiting) {
    ClosingRows out;
    for (const auto& [step, access] :
         {std::pair{OnboardingStep::notifications, &notifications}, std::pair{OnboardingStep::helper, &helper}})
        out.permissions.push_back(summary(permissionTexts(step)->title, *access, granted, waiting));
    if (inBundle) out.login = LoginRow{openAtLogin, accent};
    return out;
}

}  // namespace norvane
