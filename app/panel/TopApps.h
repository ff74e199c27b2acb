#pragma once
// The Now page's card of the apps drawing the most energy: what quitting each would add
// to the time left, a button to quit it, and above the list what the last quit changed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/Pill.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

struct TopApps {
    static constexpr const char* title = "Top apps";
    static constexpr const char* measuring = "Measuring…";
    static constexpr double spacing = 12;

    // What the last quit changed: a line in the accent and, for the measured forms, a
    // note under it.
    struct QuitLine {
        std::string first;
        std::optional<std::string> second;
        bool operator==(const QuitLine&) const = default;
    };
    static QuitLine quitLine(const QuitResult& result);
    static constexpr double quitSpacing = 2;
    static TextStyle accentLine(Color accent);  // 11 points in the accent, wrapping

    // The control at the end of a row.
    enum class Action { inUse, quit, quitting };
    struct Row {
        AppUsage app;
        std::string share;  // whole percent, "37%"; "—" without a finite share
        std::string advice;
        std::optional<std::string> gain;  // what quitting would add, while the forecast is known
        Action action = Action::quit;
        std::string accessibility;  // of the control: "Quit Safari", "Quitting Safari"
        bool operator==(const Row&) const = default;
    };
    static constexpr double rowSpacing = 10;
    static constexpr double iconSide = 24;
    static constexpr double lineSpacing = 3;
    static constexpr double nameRowHeight = 24;
    static constexpr double nameRowSpacing = 8;
    static constexpr double leastNameGap = 4;
    static constexpr double shareWidth = 34;
    static constexpr double actionWidth = 52;
    static constexpr const char* inUse = "In use";
    static constexpr const char* quit = "Quit";
    static constexpr Pill quitPill{Color::white(0.1), Color::white()};
    static TextStyle nameStyle();   // 13 points, medium, one line
    static TextStyle shareStyle();  // 12 points, monospaced

    struct Card {
        std::optional<QuitLine> quit;
        bool measuring = false;  // no app measured yet
        std::vector<Row> rows;   // by `topApps`
        std::optional<std::string> note;
        bool operator==(const Card&) const = default;
    };
    static Card card(const AppModel& m);
    static const std::vector<ModelField>& fields();
};

}  // namespace norvane
