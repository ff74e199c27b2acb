#pragma once
// The settings screen: one column of titled cards whose rows are bound to the model's
// settings. A change is stored and applied at once (the model writes every setting to the
// user defaults as it is assigned); there is no save or cancel step. The screen holds no
// state of its own: rows come and go with the model's state.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/Pill.h"
#include "app/visuals/Segments.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

struct Settings {
    // The settings a switch or a level picker writes straight into the model.
    enum class Flag { notifyLow, notifyLimit, notifyDrain, awakePowerOnly, showTime, useAI, checksForUpdates };
    enum class Level { alertLow, alertHigh, autoLowPower, awakeFloor };
    static bool value(const AppModel& m, Flag flag);
    static void set(AppModel& m, Flag flag, bool on);
    static std::int64_t value(const AppModel& m, Level level);
    static void set(AppModel& m, Level level, std::int64_t percent);

    // What the buttons do; the tour and quitting are the application's.
    enum class Action { removeHelper, earlier, later, checkNow, openTour, quit };

    // A label over a picker of percents ("OFF" for 0) and a note.
    struct LevelRow {
        std::string label;
        std::string note;
        std::vector<std::int64_t> options;
        Level setting = Level::alertLow;
        std::vector<Segment> segments;
        bool operator==(const LevelRow&) const = default;
    };
    // A label and a switch.
    struct FlagRow {
        std::string label;
        Flag setting = Flag::notifyLow;
        bool on = false;
        bool operator==(const FlagRow&) const = default;
    };
    // "Open at login": a switch that asks the system and then shows what it reports.
    struct LoginRow {
        std::string label;
        bool on = false;
        bool operator==(const LoginRow&) const = default;
    };
    // A button, with a label before it where the row has one.
    struct ButtonRow {
        std::optional<std::string> label;
        std::string title;
        std::optional<std::string> help;
        Action action = Action::quit;
        bool operator==(const ButtonRow&) const = default;
    };
    // The full-by mode, the time with its earlier and later buttons, and the sentence.
    struct FullByRow {
        std::vector<FullByMode> modes;
        std::vector<Segment> segments;
        std::string time;  // in dot digits
        bool dimmed = false;
        std::string accessibility;  // of the time
        std::string note;
        bool operator==(const FullByRow&) const = default;
    };
    // The recording row of one action's shortcut (`HotkeyRecording`).
    struct ShortcutRow {
        HotkeyAction action = HotkeyAction::awake;
        bool operator==(const ShortcutRow&) const = default;
    };
    struct NoteRow {
        std::string text;
        bool operator==(const NoteRow&) const = default;
    };
    struct IconStyleRow {
        std::string label;
        std::vector<IconStyle> options;
        std::vector<Segment> segments;
        std::string note;
        bool operator==(const IconStyleRow&) const = default;
    };
    // "Version" and the running version, "Check now", and the last check's outcome.
    struct VersionRow {
        std::string text;
        bool checkEnabled = true;
        std::optional<std::string> note;
        bool operator==(const VersionRow&) const = default;
    };
    // An example link of the URL scheme; a click copies it.
    struct LinkRow {
        std::string url;
        std::string label;
        std::string accessibility;
        bool operator==(const LinkRow&) const = default;
    };
    using Row = std::variant<LevelRow, FlagRow, LoginRow, ButtonRow, FullByRow, ShortcutRow, NoteRow, IconStyleRow,
                             VersionRow, LinkRow>;
    struct Group {
        std::string title;
        std::vector<Row> rows;
        bool operator==(const Group&) const = default;
    };

    // What the screen needs besides the model, fixed for the process.
    struct Context {
        bool fromBundle = false;   // run from an application bundle: the login item is offered
        bool tourOffered = false;  // the row that opens the tour
        std::string runningVersion;
    };
    static std::vector<Group> groups(const AppModel& m, const Context& context);
    // A row's identity within its group.
    static std::string key(const Row& row);

    // The full-by time half an hour earlier or later, wrapping past midnight; a stored time
    // outside one day is taken into it first.
    static std::int64_t earlier(std::int64_t minutes);
    static std::int64_t later(std::int64_t minutes);
    // The model's side of the buttons (the tour and quitting are the caller's).
    static void perform(Action action, AppModel& m, Date now);

    // The URL scheme's examples: the link copied, the label shown.
    static const std::array<std::pair<std::string_view, std::string_view>, 6>& linkExamples();
    static constexpr const char* copyHelp = "Click to copy";

    // ---- Layout ----
    static constexpr double spacing = 10;       // between the cards
    static constexpr double groupSpacing = 12;  // between a card's title and rows
    static constexpr double rowSpacing = 8;     // label, gap, control
    static constexpr double leastGap = 4;
    static constexpr double blockSpacing = 6;  // label, picker and note of a level or block
    static constexpr double timeSpacing = 10;  // the full-by time row
    static constexpr double timePitch = 4;
    // The full-by time's width: that of its widest form, so that the buttons beside it keep
    // their place when the hours gain a digit (9:30 to 10:00).
    static double timeWidth();
    static constexpr Color dimmedTime = Color::white(0.45);
    static constexpr Pill buttonPill{Color::white(0.1), Color::white()};
    static TextStyle labelStyle();  // 13 points, medium, wrapping
    static TextStyle urlStyle();    // 11 points, monospaced, white at 85 %, one line

    // Model fields the screen reads, for subscribing.
    static const std::vector<ModelField>& fields();
};

}  // namespace norvane
