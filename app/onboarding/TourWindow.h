#pragma once
// What the tour window shows around its page: the top bar (red dot, name, progress dots,
// close button) and the footer with the buttons that move through the tour and act on the
// two permissions, by step and permission state; and what each button does.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/onboarding/Onboarding.h"
#include "app/visuals/Card.h"
#include "app/visuals/Pill.h"

namespace norvane {

// The tour's state as its window reads it.
struct TourState {
    OnboardingStep step = OnboardingStep::welcome;
    Access notifications = access_state::Checking{};
    Access helper = access_state::Checking{};
    bool forward = true;

    static TourState of(const Onboarding& tour);
    std::optional<Access> access(OnboardingStep of) const;
    bool operator==(const TourState&) const = default;
};
// The tour's fields a window that shows the state subscribes to.
inline const std::vector<ModelField> tourFields{ModelField::onboardingStep, ModelField::onboardingNotifications,
                                                ModelField::onboardingHelper, ModelField::onboardingForward,
                                                ModelField::onboardingRelaunch};

struct TourWindow {
    static constexpr double width = 560;
    static constexpr double height = 664;
    static constexpr double cornerRadius = 18;  // the window's content is clipped to it
    static constexpr double padding = 22;    // on every side
    static constexpr double topGap = 14;     // under the top bar
    static constexpr double footerGap = 14;  // over the footer
    static constexpr double barSpacing = 8;  // in the top bar and the footer
    static constexpr const char* title = "Welcome to Norvane";
    static constexpr double refreshInterval = 1;  // between the end of a refresh and the next

    // Where the window stands on a screen whose visible area is `available`: centred in the
    // room beside the menu-bar item `item` (below it when it lies along the top edge, above it
    // along the bottom edge), no taller than that room less `screenMargin` above and below (its page then
    // scrolls), and never shorter than `leastHeight`; a room narrower than the window shows
    // the window's leading edge, a room lower than `leastHeight` its top.
    static Rect frame(const Rect& available, const std::optional<Rect>& item);
    static constexpr double screenMargin = 8;
    static constexpr double leastHeight = 320;  // the bars and some of the page

    // ---- Top bar ----
    static constexpr double redDot = 7;
    static constexpr const char* name = "Norvane";  // 12 points semibold monospaced, capitals
    static TextStyle nameStyle();
    struct CloseButton {
        static constexpr double side = 24;
        static constexpr Color circle = Color::white(0.08);
        static constexpr const char* symbol = "xmark";  // 11 points semibold, white at 60 %
        static constexpr Color symbolColor = Color::white(0.6);
        static constexpr double symbolSize = 11;
        static constexpr const char* accessibility = "Close the tour";
        static constexpr const char* help = "Close. The tour continues from this step next time";
    };

    // ---- Progress dots ----
    struct ProgressDot {
        double diameter = 6;  // 8 for the current step
        Color color;
        bool operator==(const ProgressDot&) const = default;
    };
    struct Progress {
        static constexpr double spacing = 7;
        std::vector<ProgressDot> dots;  // one a step, in order
        std::string accessibility;      // "Step 3 of 6"
        bool operator==(const Progress&) const = default;
    };
    // Granted wherever it lies; a permission passed without it waiting; the steps up to the
    // current one bright, the later ones faint.
    static Progress progress(const TourState& state, Color granted, Color waiting);

    // ---- Footer ----
    enum class Action {
        none,   // "Checking" does nothing
        close,  // the close button and Esc
        back,
        next,
        finish,
        askNotifications,
        openNotificationSettings,
        installHelper,
        openLoginItems,
    };
    struct Button {
        std::string title;
        bool primary = false;  // the accent with black text, pressed by Return; else faint
        bool enabled = true;
        Action action = Action::none;
        bool animated = false;  // the step change it makes moves with the spring
        Pill pill(Color accent) const;
        bool operator==(const Button&) const = default;
    };
    struct Footer {
        std::optional<Button> back;   // on the left, on every step but the first
        std::vector<Button> buttons;  // on the right, in order
        bool operator==(const Footer&) const = default;
    };
    static Footer footer(const TourState& state);
    // The buttons of a permission step in its state; the action of the main one is `ask`,
    // or `settings` while macOS waits for the user there.
    static std::vector<Button> accessButtons(const Access& access, std::string ask, std::string settings,
                                             Action askAction, Action settingsAction);
};

// What the window's buttons reach outside the tour.
struct TourDoors {
    std::function<void()> close;                          // the window goes, the step stays
    std::function<void()> finish;                         // ends the tour, closes, shows the panel
    std::function<void(const std::string& url)> openUrl;  // System Settings pages
    std::function<void()> openLoginItems;
    std::string notificationSettings;  // the app's page of the Notifications settings
};
// Carries a button's action out on the tour; the permission actions refresh when they end.
void perform(TourWindow::Action action, Onboarding& tour, const TourDoors& doors);

}  // namespace norvane
