#pragma once
// The first of the panel's notices: a newer build is offered. It follows the model's update
// stage, from the offer through the download, its check and the install, with a row for
// each stage, and its buttons call the model's update actions or open the website.

#include <optional>
#include <string>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/Pill.h"
#include "app/visuals/TextStyle.h"
#include "platform/Workspace.h"

namespace norvane {

struct UpdateCard {
    enum class Action { download, install, later, downloadPage, changelog };
    struct Button {
        std::string title;
        Pill pill;  // main: the accent with black text; quiet: white at 10 % with white text
        Action action = Action::download;
        bool operator==(const Button&) const = default;
    };
    struct Bar {
        double fraction = 0;
        Color color;
        bool operator==(const Bar&) const = default;
    };

    std::string running;             // "You have " and the running version, in the caps style
    std::string title;               // "Norvane 1.5 is available"
    std::optional<Bar> bar;          // the download's progress, first in its row
    std::optional<std::string> text;  // under the bar
    bool failure = false;            // the text is the failure's message, in the error style
    std::vector<Button> buttons;
    std::optional<std::string> blocker;  // why this copy cannot replace itself, under the buttons
    bool operator==(const UpdateCard&) const = default;

    // An offer, and not put off while nothing is under way.
    static bool present(const AppModel& m);
    static UpdateCard make(const AvailableUpdate& offer, const UpdateStage& stage, const std::string& runningVersion,
                           const std::optional<std::string>& blocker, Color accent);
    static void perform(Action action, AppModel& m, const Workspace& workspace);

    // The whole percent of a fraction as the progress bar reads it out: 0.994 gives "99%",
    // 0.996 "100%"; a fraction that is not a number counts as none.
    static std::string percent(double fraction);

    static constexpr const char* caption = "Update";
    static constexpr double spacing = 10;
    static constexpr double buttonSpacing = 8;
    static constexpr int noteLines = 3;  // the offer's note, at most
    // A change of stage springs the card to its new height (response 0.25 s, damping 0.85).
    static constexpr double springResponse = 0.25, springDamping = 0.85;
    static constexpr Color done{0.33, 0.92, 0.52, 1};
    static constexpr Color error{1.0, 0.5, 0.46, 1};
    static constexpr Pill quietPill{Color::white(0.1), Color::white()};
    static TextStyle titleStyle();    // 13 points, medium, wrapping
    static TextStyle failureStyle();  // 11 points in the error colour, wrapping

    // Model fields the card reads, for subscribing.
    static const std::vector<ModelField>& fields();
};

}  // namespace norvane
