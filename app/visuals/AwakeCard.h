#pragma once
// The Now page's keep-awake card: its switch, status line, the other apps that keep the
// Mac awake, the four mode chips, one list opened under them (timer choices, coding
// agents or running apps), and while keep-awake is on the lid row and the battery floor.
// The card holds no keep-awake logic: it reads the model and every tap calls the model.
// Its own state is which list is open and the end time the timer list offers.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/AppMark.h"
#include "app/visuals/DotGlyph.h"
#include "app/visuals/Pill.h"
#include "app/visuals/Segments.h"
#include "platform/DateFormatter.h"
#include "platform/LocaleText.h"

namespace norvane {

// Title of the Timer chip: "45 min", "2 h", "1h 30m". (`short` itself is a C++ keyword.)
std::string short_(std::int64_t minutes);

struct AwakeCard {
    enum class Choice { timer, agents, app };

    Color accent;                // switch, Start, working agents, selected rows
    std::optional<Choice> open;  // the list shown under the chips
    Date until;                  // the end the timer list's until row offers

    // The list named on the command line (`--awake-agents`, then `--awake-apps`, then
    // `--awake-timer`), and the first half-hour boundary at least 30 minutes ahead.
    static AwakeCard make(Color accent, const std::vector<std::string>& arguments, Date now);

    static bool on(const AppModel& m) { return m.awake().has_value(); }
    bool listOpen() const { return open.has_value(); }
    // Opens a list (or none); opening the agents re-reads which are installed.
    void setOpen(std::optional<Choice> choice, AppModel& m);

    // ---- Layout ----
    static constexpr double padding = 14;  // of the card
    static constexpr double spacing = 10;  // between its parts
    static constexpr double headerSpacing = 6;
    static constexpr double statusSpacing = 6;
    static constexpr double chipSpacing = 6;
    static constexpr const char* title = "Stay awake";
    // "Stay awake", "Until", "Lid closed" and the rows' titles.
    static TextStyle label();

    // ---- Status ----
    struct Countdown {
        Date end;
        Color color;                // white while holding, else dimmed
        std::string accessibility;  // "Timer, 2h 05m left", as of when the status was made
        static constexpr double pitch = 4;
        bool operator==(const Countdown&) const = default;
    };
    struct Status {
        std::optional<Countdown> countdown;  // a timer session
        std::optional<AppMark> app;          // the app a running session waits for
        std::string caption;                 // in the note style
        bool operator==(const Status&) const = default;
    };
    static Status status(const AppModel& m, Date now);
    // H:MM:SS of the time left at `at`, seconds rounded up; 0:00:00 once past the end.
    static std::string countdownText(Date end, Date at);
    // How often the countdown redraws: every second while the panel is open, else hourly.
    static double countdownInterval(bool panelOpen) { return panelOpen ? 1 : 3600; }

    // "Kept awake by Music", or "Also kept awake by Music" while this session holds too.
    static std::optional<std::string> holdersLine(const AppModel& m);
    // While holding on battery: where the Mac is let sleep, and when at the current drain.
    static std::optional<std::string> floorLine(const AppModel& m);

    // ---- Mode chips ----
    struct Chip {
        std::string title;
        bool selected = false;            // follows the stored mode, on or off
        std::optional<Choice> opens;      // the list the chip opens
        Pill pill;                        // bright while on, dimmed while off
        bool outlined = false;            // its list is open
        std::string help;                 // tool tip; empty for none
        bool operator==(const Chip&) const = default;
    };
    static constexpr Color chipBorder = Color::white(0.45);  // 1 point, inside the capsule
    std::array<Chip, 4> chips(const AppModel& m) const;
    // No limit starts at once; Timer and App only open or close their list; Agents starts
    // agent watching unless it already runs, and opens or closes its list.
    void tapChip(std::size_t index, AppModel& m);

    // ---- Lid row, while on ----
    static constexpr const char* lidLabel = "Lid closed";
    static constexpr const char* lidHelp =
        "Not an official macOS feature. Works only while this switch is on, and stops when the Mac runs hot";
    static Segments<bool> lidPicker(const AppModel& m);

    // ---- Timer list ----
    struct Preset {
        std::int64_t minutes = 0;
        std::string label;          // "15m", "1h"
        std::string accessibility;  // "15 minutes", "1 hour", "2 hours"
        bool operator==(const Preset&) const = default;
    };
    static const std::vector<Preset>& presets();
    static constexpr Pill faintPill{Color::white(0.1), Color::white()};
    Pill startPill() const { return {accent, Color::black()}; }
    static constexpr double timerSpacing = 8;  // between the presets and the until row
    static constexpr double timerRowSpacing = 4;
    static constexpr double untilWidth = 52;   // the time, centred
    // 13 points, medium, monospaced.
    static TextStyle untilStyle();
    static constexpr const char* earlierLabel = "\u2212";  // minus sign
    static constexpr const char* earlierHelp = "Half an hour earlier";
    static constexpr const char* laterHelp = "Half an hour later";

    // A preset starts its timer and closes the list.
    void choosePreset(std::int64_t minutes, AppModel& m);
    // Half an hour earlier, never before the first half-hour boundary at or after now.
    void earlier(Date now);
    // Half an hour later, never beyond 24 hours from now.
    void later(Date now);
    // Starts a timer of the whole minutes left until `until` (at least one) and closes the list.
    void start(AppModel& m, Date now);
    static std::int64_t minutesUntil(Date until, Date now);
    std::string untilText(const DateFormatter& format) const { return format.shortTime(until); }

    // ---- Agent list ----
    struct AgentRow {
        std::string name;
        std::string state;  // "Ignored", "Working", "Waiting", "Not running"
        bool ignored = false;
        DotGlyph mark;      // the agent's logo at 2.5 points a dot
        Color title;        // dimmed when ignored
        std::string accessibility;  // "Codex, not running"
        std::string hint;           // what a tap does
        bool selected() const { return !ignored; }
        bool operator==(const AgentRow&) const = default;
    };
    struct AgentList {
        std::vector<AgentRow> rows;          // the installed agents, in catalogue order
        std::optional<std::string> none;     // with none installed: the agents looked for
        bool operator==(const AgentList&) const = default;
    };
    AgentList agentList(const AppModel& m, const LocaleText& lists) const;
    // Counts an ignored agent again, stops counting a counted one; the list stays open.
    static void tapAgent(const AgentRow& row, AppModel& m) { m.setAgent(row.name, row.ignored); }

    // ---- App list ----
    struct AppRow {
        RunningApp app;
        bool selected = false;  // keep-awake is on and waits for this app
        AppMark mark;
        bool operator==(const AppRow&) const = default;
    };
    struct AppList {
        std::vector<AppRow> rows;
        double height = 0;                // of the scrolling area: five rows show at once
        std::optional<std::string> none;  // with no app running, a note instead
        bool operator==(const AppList&) const = default;
    };
    AppList appList(const AppModel& m) const;
    // 34-point rows 2 points apart, at most five; none: no area at all.
    static double appListHeight(std::size_t apps);
    // Waits for the app and closes the list.
    void chooseApp(const std::string& path, AppModel& m);

    // ---- The rows of the agent and app lists ----
    struct Row {
        static constexpr double height = 34;
        static constexpr double gap = 2;  // between rows
        static constexpr double spacing = 10;
        static constexpr double padding = 8;  // left and right
        static constexpr double markSide = 24;
        static constexpr double cornerRadius = 10;
        static constexpr Color background = Color::white(0.05);
        static constexpr double dotSide = 8;
        static constexpr double dotBorderWidth = 1;  // inside the dot's edge
        static constexpr double minimumGap = 4;      // before the trailing content
        Color dotFill;    // the accent when selected, else clear
        Color dotBorder;  // only around an unselected dot
        bool operator==(const Row&) const = default;
    };
    Row row(bool selected) const;
};

}  // namespace norvane
