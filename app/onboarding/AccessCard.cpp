#include "app/onboarding/AccessCard.h"

namespace norvane {

StatusLabel status(const Access& access, Color granted, Color waiting) {
    TextStyle style = caps();
    const auto label = [&](const char* text, Color color) {
        style.color = color;
        return StatusLabel{text, style};
    };
    const Color muted = Color::white(0.5);
    return std::visit(
        [&](const auto& state) {
            using State = std::decay_t<decltype(state)>;
            if constexpr (std::is_same_v<State, access_state::Failed>)
                return label("Not working", failureRed);
            else if constexpr (std::is_same_v<State, access_state::Unavailable>)
                return label("Not in this copy", muted);
            else if constexpr (std::is_same_v<State, access_state::Checking>)
                return label("Checking", muted);
            else if constexpr (std::is_same_v<State, access_state::NotAsked>)
                return label("Not set up", muted);
            else if constexpr (std::is_same_v<State, access_state::NeedsSettings>)
                return label("Waiting for you", waiting);
            else
                return label("Confirmed", granted);
        },
        access);
}

std::string detail(const Access& access, std::string_view missing) {
    if (const auto* failed = std::get_if<access_state::Failed>(&access))
        return "macOS allows it, but it did not answer: " + failed->text + ".";
    if (const auto* unavailable = std::get_if<access_state::Unavailable>(&access)) return unavailable->reason;
    if (is<access_state::Checking>(access)) return "Asking macOS.";
    if (is<access_state::NotAsked>(access)) return std::string(missing);
    if (is<access_state::NeedsSettings>(access))
        return "macOS has it switched off. Norvane checks every second and marks it by itself.";
    return "macOS confirms it.";
}

std::optional<PermissionTexts> permissionTexts(OnboardingStep step) {
    if (step == OnboardingStep::notifications)
        return PermissionTexts{
            "Notifications",
            "macOS asks once whether Norvane may show notifications.",
            {"Open Notification settings", "Choose Norvane in the list", "Switch on Allow notifications"}};
    if (step == OnboardingStep::helper)
        return PermissionTexts{"Energy mode helper",
                               "macOS asks you to allow it once, in System Settings.",
                               {"Open Login Items", "Under Allow in the Background, switch Norvane on",
                                "Confirm with Touch ID or your password"}};
    return std::nullopt;
}

TextStyle AccessCard::titleStyle() {
    return {.size = 13, .weight = FontWeight::medium};
}
TextStyle AccessCard::stepStyle() {
    return {.size = 12, .color = Color::white(0.85)};
}

AccessCard accessCard(const PermissionTexts& texts, const Access& access, Color accent, Color granted, Color waiting,
                      const std::optional<std::string>& relaunchFailure) {
    AccessCard card{access, texts.title, detail(access, texts.missing), status(access, granted, waiting), {}, {}, {}};
    if (is<access_state::NeedsSettings>(access))
        for (std::size_t i = 0; i < texts.steps.size(); ++i)
            card.steps.push_back({DotText{std::to_string(i + 1), waiting, 2}, texts.steps[i]});
    if (is<access_state::NeedsSettings>(access) || is<access_state::Failed>(access)) {
        card.restart = AccessCard::RestartLink{.style = {.size = 11, .color = accent}};
        if (relaunchFailure) card.restartFailure = AccessCard::restartFailed + *relaunchFailure + ".";
    }
    return card;
}

SummaryRow summary(std::string title, const Access& access, Color granted, Color waiting) {
    return {access, std::move(title), status(access, granted, waiting)};
}

}  // namespace norvane
