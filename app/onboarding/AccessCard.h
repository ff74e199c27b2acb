#pragma once
// What the tour shows of one permission: the card on its step (mark, title, sentence,
// status label, the steps to take in System Settings while macOS waits for the user, and
// the link that restarts the app when it does not come through), and the one-line summary
// row of the closing page. Pure functions of the state and the colours.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/onboarding/Access.h"
#include "app/onboarding/Onboarding.h"
#include "app/visuals/DotText.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

// The tour's colours besides the accent.
inline constexpr Color grantedGreen{0.33, 0.92, 0.52, 1};
inline constexpr Color waitingAmber{0.93, 0.79, 0.36, 1};
inline constexpr Color failureRed{0.91, 0.42, 0.40, 1};

// One line, never wrapped or cut, in the small-capitals style.
struct StatusLabel {
    std::string text;  // as stored; drawn in capitals
    TextStyle style;
    bool operator==(const StatusLabel&) const = default;
};
StatusLabel status(const Access& access, Color granted, Color waiting);

// The sentence under the title; `missing` is the card's own for a permission not asked yet.
std::string detail(const Access& access, std::string_view missing);

// What a permission step says: its title, its sentence before asking, and its steps in
// System Settings.
struct PermissionTexts {
    std::string title;
    std::string missing;
    std::vector<std::string> steps;
    bool operator==(const PermissionTexts&) const = default;
};
// For the notifications and helper steps; none for the others.
std::optional<PermissionTexts> permissionTexts(OnboardingStep step);

struct AccessCard {
    static constexpr double padding = 14;      // of the card
    static constexpr double spacing = 12;      // between head, steps and link
    static constexpr double headSpacing = 10;  // mark, texts, label
    static constexpr double textSpacing = 2;   // title over sentence
    static constexpr double stepSpacing = 7;
    static constexpr double stepsIndent = 2;
    static constexpr double stepRowSpacing = 10;
    static constexpr double numberWidth = 12;  // the number centred in it
    static constexpr const char* restartTitle = "Still not confirmed? Restart Norvane and check again";
    static constexpr const char* restartHelp = "Norvane starts again and opens the tour on this step";
    // Under the link when the restart did not happen, followed by the reason and a full stop.
    static constexpr const char* restartFailed = "Norvane was not restarted: ";

    struct Step {
        DotText number;  // 1, 2, 3 … in amber at pitch 2
        std::string text;
        bool operator==(const Step&) const = default;
    };
    struct RestartLink {
        std::string title = restartTitle;
        std::string help = restartHelp;
        TextStyle style;         // 11 points in the accent
        bool underlined = true;  // with a solid line
        bool operator==(const RestartLink&) const = default;
    };

    Access access;  // drawn as the mark
    std::string title;
    std::string sentence;
    StatusLabel status;
    std::vector<Step> steps;             // only while macOS waits for the user
    std::optional<RestartLink> restart;  // only when failed or waiting
    std::optional<std::string> restartFailure;  // with the link, after a restart that did not happen

    static TextStyle titleStyle();  // 13 points, medium
    static TextStyle stepStyle();   // 12 points, white at 85 %
    bool operator==(const AccessCard&) const = default;
};
// `relaunchFailure`: why the last restart from the tour did not happen, if it did not.
AccessCard accessCard(const PermissionTexts& texts, const Access& access, Color accent, Color granted, Color waiting,
                      const std::optional<std::string>& relaunchFailure = {});

// The closing page's row: mark, title, flexible space, status label.
struct SummaryRow {
    static constexpr double spacing = 10;
    Access access;
    std::string title;
    StatusLabel status;
    bool operator==(const SummaryRow&) const = default;
};
SummaryRow summary(std::string title, const Access& access, Color granted, Color waiting);

}  // namespace norvane
