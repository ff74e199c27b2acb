#pragma once
// The short-lived cards above the panel's page, each present only while the state that
// calls for it holds, in a fixed order: an offered update, a tour left before its end, the
// one-time setup of the helper, the last note about the energy mode, and an app that did
// not quit. Each button calls one action of the model or of the application around it.

#include <optional>
#include <string>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/ChargeTone.h"
#include "app/visuals/Pill.h"
#include "platform/Workspace.h"

namespace norvane {

struct Notices {
    enum class Kind { update, tour, helperSetup, energyNote, stuck };

    // The tour as the notices see it: offered to this copy at all, and finished.
    struct Tour {
        bool offered = false;
        bool done = false;
    };

    // The cards present now, in their order.
    static std::vector<Kind> present(const AppModel& m, Tour tour);
    static constexpr double spacing = 10;      // between the cards, and inside each
    static constexpr double buttonSpacing = 8;  // between the buttons of a row

    // The three colourings of the cards' buttons.
    static Pill mainPill(Color accent) { return {accent, Color::black()}; }
    static constexpr Pill quietPill{Color::white(0.1), Color::white()};
    static constexpr Pill dangerPill{signalRed, Color::white()};

    // ---- Tour ----
    static constexpr const char* tourTitle = "Welcome tour";
    static constexpr const char* tourNote = "The tour was left before its end. It continues from the step you were on.";
    static constexpr const char* tourContinue = "Continue the tour";  // main: opens the tour window
    static constexpr const char* tourSkip = "Skip it";                // quiet: ends the tour for good

    // ---- Helper setup ----
    struct HelperSetup {
        std::string note;
        std::string button;  // main: installs the helper
        bool operator==(const HelperSetup&) const = default;
    };
    static constexpr const char* helperTitle = "One-time setup";
    static constexpr const char* helperNotNow = "Not now";  // quiet: drops the card
    // Approval pending: the Login Items sentence and "Open Login Items"; any other state the
    // general sentence and "Continue".
    static HelperSetup helperSetup(const HelperState& state);

    // ---- Energy-mode note ----
    static constexpr const char* noteOK = "OK";  // quiet: clears the note

    // ---- The app that did not quit ----
    struct Stuck {
        std::string note;
        std::string help;  // of "Force quit"
        bool operator==(const Stuck&) const = default;
    };
    static constexpr const char* forceQuit = "Force quit";  // danger
    static constexpr const char* leaveIt = "Leave it";      // quiet
    // The app's name unchanged inside both sentences.
    static Stuck stuck(const AppUsage& app);
    // Drops the card, then ends the app at once when it still runs.
    static void forceQuitStuck(AppModel& m, const Workspace& workspace);

    // Model fields the cards read, for subscribing.
    static const std::vector<ModelField>& fields();
};

}  // namespace norvane
