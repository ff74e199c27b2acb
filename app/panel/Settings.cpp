#include "app/panel/Settings.h"

#include <algorithm>

#include "app/analysis/Duration.h"
#include "app/visuals/DotText.h"

namespace norvane {
namespace {

constexpr std::int64_t day = 1440;

// A stored time of any size as minutes of one day.
std::int64_t ofDay(std::int64_t minutes) {
    return (minutes % day + day) % day;
}

Settings::LevelRow level(std::string label, std::string note, std::vector<std::int64_t> options,
                         Settings::Level setting, const AppModel& m) {
    std::vector<Segment> segments = Segments<std::int64_t>{
        options, Settings::value(m, setting), false, [](const std::int64_t& percent) {
            return percent == 0 ? std::string("OFF") : std::to_string(percent) + "%";
        }}.segments();
    return {std::move(label), std::move(note), std::move(options), setting, std::move(segments)};
}

Settings::FlagRow flag(std::string label, Settings::Flag setting, const AppModel& m) {
    return {std::move(label), setting, Settings::value(m, setting)};
}

std::string_view modeTitle(FullByMode mode) {
    switch (mode) {
        case FullByMode::off:
            return "OFF";
        case FullByMode::once:
            return "ONCE";
        case FullByMode::daily:
            return "EVERY DAY";
    }
    return "";
}

std::string_view styleTitle(IconStyle style) {
    switch (style) {
        case IconStyle::original:
            return "ORIGINAL";
        case IconStyle::list:
            return "DOTS IN LIST";
        case IconStyle::everywhere:
            return "DOTS EVERYWHERE";
    }
    return "";
}

std::string_view styleNote(IconStyle style) {
    switch (style) {
        case IconStyle::original:
            return "Every app keeps its own icon.";
        case IconStyle::list:
            return "Dot icons in the list of running apps, the apps' own icons elsewhere.";
        case IconStyle::everywhere:
            return "Dot icons wherever apps are shown: Now, Stats and the lists.";
    }
    return "";
}

Settings::FullByRow fullBy(const AppModel& m) {
    const std::vector<FullByMode> modes{FullByMode::off, FullByMode::once, FullByMode::daily};
    std::vector<Segment> segments = Segments<FullByMode>{modes, m.fullByMode(), false, [](const FullByMode& mode) {
                                                             return std::string(modeTitle(mode));
                                                         }}.segments();
    const std::string time = clock(ofDay(m.fullByMinutes()));
    return {modes,
            std::move(segments),
            time,
            m.fullByMode() == FullByMode::off,
            "Full by " + time,
            m.fullByUseful() ? m.fullByLine()
                             : "For a Mac with a charge limit set: at this time the battery is at 100%, and the limit "
                               "is back afterwards."};
}

}  // namespace

bool Settings::value(const AppModel& m, Flag flag) {
    switch (flag) {
        case Flag::notifyLow:
            return m.notifyLow();
        case Flag::notifyLimit:
            return m.notifyLimit();
        case Flag::notifyDrain:
            return m.notifyDrain();
        case Flag::awakePowerOnly:
            return m.awakePowerOnly();
        case Flag::showTime:
            return m.showTime();
        case Flag::useAI:
            return m.useAI();
        case Flag::checksForUpdates:
            return m.checksForUpdates();
    }
    return false;
}

void Settings::set(AppModel& m, Flag flag, bool on) {
    switch (flag) {
        case Flag::notifyLow:
            return m.setNotifyLow(on);
        case Flag::notifyLimit:
            return m.setNotifyLimit(on);
        case Flag::notifyDrain:
            return m.setNotifyDrain(on);
        case Flag::awakePowerOnly:
            return m.setAwakePowerOnly(on);
        case Flag::showTime:
            return m.setShowTime(on);
        case Flag::useAI:
            return m.setUseAI(on);
        case Flag::checksForUpdates:
            return m.setChecksForUpdates(on);
    }
}

std::int64_t Settings::value(const AppModel& m, Level level) {
    switch (level) {
        case Level::alertLow:
            return m.alertLow();
        case Level::alertHigh:
            return m.alertHigh();
        case Level::autoLowPower:
            return m.autoLowPower();
        case Level::awakeFloor:
            return m.awakeFloor();
    }
    return 0;
}

void Settings::set(AppModel& m, Level level, std::int64_t percent) {
    switch (level) {
        case Level::alertLow:
            return m.setAlertLow(percent);
        case Level::alertHigh:
            return m.setAlertHigh(percent);
        case Level::autoLowPower:
            return m.setAutoLowPower(percent);
        case Level::awakeFloor:
            return m.setAwakeFloor(percent);
    }
}

std::vector<Settings::Group> Settings::groups(const AppModel& m, const Context& context) {
    using L = Level;
    using F = Flag;
    std::vector<Group> out;

    out.push_back({"Alerts",
                   {level("Plug in at", "A notification on battery at this level.", {0, 10, 20, 30}, L::alertLow, m),
                    level("Unplug at", "A notification while charging at this level.", {0, 80, 90, 100}, L::alertHigh, m),
                    flag("Under 30 minutes left", F::notifyLow, m), flag("Charged to the limit", F::notifyLimit, m),
                    flag("An app drains unusually fast", F::notifyDrain, m)}});

    const HelperState& helper = m.helperState();
    Group lowPower{"Low Power Mode",
                   {level("Switch on by itself under",
                          isReady(helper) ? "On battery only. Norvane switches it back off once the battery is charged "
                                            "above this level."
                                          : "Needs the Low Power helper: flip the Low Power switch on the Now tab once "
                                            "to add it.",
                          {0, 10, 20, 30, 50}, L::autoLowPower, m)}};
    if (isReady(helper) || std::holds_alternative<helper_state::NeedsApproval>(helper))
        lowPower.rows.push_back(ButtonRow{std::nullopt, "Remove the helper",
                                          "The helper is the small part that switches Low Power Mode. Without it the "
                                          "switch asks to install it again",
                                          Action::removeHelper});
    out.push_back(std::move(lowPower));

    out.push_back({"Full by a set time", {fullBy(m)}});

    out.push_back({"Stay awake",
                   {level("Let go on battery at", "Under this level the Mac may sleep again.", {10, 20, 30, 50},
                          L::awakeFloor, m),
                    flag("Only on wall power", F::awakePowerOnly, m)}});

    Group shortcuts{"Keyboard shortcuts", {}};
    for (const HotkeyAction action : allHotkeyActions) shortcuts.rows.push_back(ShortcutRow{action});
    shortcuts.rows.push_back(NoteRow{"They work from any app. Use a key together with \u2303, \u2325 or \u2318."});
    out.push_back(std::move(shortcuts));

    Group app{"Norvane", {}};
    const std::vector<IconStyle> styles(allIconStyles.begin(), allIconStyles.end());
    app.rows.push_back(IconStyleRow{"App icons", styles,
                                    Segments<IconStyle>{styles, m.iconStyle(), false, [](const IconStyle& style) {
                                                            return std::string(styleTitle(style));
                                                        }}.segments(),
                                    std::string(styleNote(m.iconStyle()))});
    app.rows.push_back(flag("Time left in the menu bar", F::showTime, m));
    if (context.fromBundle) app.rows.push_back(LoginRow{"Open at login", m.openAtLogin()});
    if (m.aiAvailable()) app.rows.push_back(flag("Word the summary with Apple Intelligence", F::useAI, m));
    app.rows.push_back(flag("Check for updates once a day", F::checksForUpdates, m));
    app.rows.push_back(VersionRow{"Version " + context.runningVersion, !m.updateBusy(), m.updateNote()});
    if (context.tourOffered)
        app.rows.push_back(ButtonRow{"Welcome tour and permissions", "Open", std::nullopt, Action::openTour});
    out.push_back(std::move(app));

    Group links{"Links", {NoteRow{"Other apps can control Norvane with links: Shortcuts (Open URLs), Raycast, a script."}}};
    for (const auto& [url, label] : linkExamples())
        links.rows.push_back(LinkRow{std::string(url), std::string(label),
                                     std::string(label) + ": " + std::string(url) + ". " + copyHelp});
    out.push_back(std::move(links));

    out.push_back({"App", {ButtonRow{std::nullopt, "Quit Norvane", std::nullopt, Action::quit}}});
    return out;
}

std::string Settings::key(const Row& row) {
    return std::visit(
        [](const auto& r) -> std::string {
            using R = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<R, LevelRow> || std::is_same_v<R, FlagRow> || std::is_same_v<R, LoginRow> ||
                          std::is_same_v<R, IconStyleRow>)
                return r.label;
            else if constexpr (std::is_same_v<R, ButtonRow>)
                return r.title;
            else if constexpr (std::is_same_v<R, FullByRow>)
                return "full by";
            else if constexpr (std::is_same_v<R, ShortcutRow>)
                return "shortcut " + std::string(rawValue(r.action));
            else if constexpr (std::is_same_v<R, NoteRow>)
                return "note";
            else if constexpr (std::is_same_v<R, VersionRow>)
                return "version";
            else
                return r.url;
        },
        row);
}

std::int64_t Settings::earlier(std::int64_t minutes) {
    return (ofDay(minutes) + day - 30) % day;
}

std::int64_t Settings::later(std::int64_t minutes) {
    return (ofDay(minutes) + 30) % day;
}

void Settings::perform(Action action, AppModel& m, Date now) {
    switch (action) {
        case Action::removeHelper:
            return m.removeHelper();
        case Action::earlier:
            return m.setFullBy(m.fullByMode(), earlier(m.fullByMinutes()));
        case Action::later:
            return m.setFullBy(m.fullByMode(), later(m.fullByMinutes()));
        case Action::checkNow:
            return m.checkForUpdates(true, now);
        case Action::openTour:
        case Action::quit:
            return;
    }
}

const std::array<std::pair<std::string_view, std::string_view>, 6>& Settings::linkExamples() {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> examples{{
        {"norvane://awake?minutes=60", "Awake 1 h"},
        {"norvane://awake?mode=agents", "Agents"},
        {"norvane://awake/off", "Awake off"},
        {"norvane://low-power/on", "Low Power"},
        {"norvane://limit/80", "Limit 80%"},
        {"norvane://charge-full", "Full once"},
    }};
    return examples;
}

double Settings::timeWidth() {
    // The time moves in half hours, and the font's digits share one width: the half hours
    // hold every form the time takes.
    static const double widest = [] {
        double most = 0;
        for (std::int64_t minutes = 0; minutes < day; minutes += 30)
            most = std::max(most, DotText{clock(minutes), Color::white(), timePitch}.layout().width);
        return most;
    }();
    return widest;
}

TextStyle Settings::labelStyle() {
    return {.size = 13, .weight = FontWeight::medium, .wraps = true};
}

TextStyle Settings::urlStyle() {
    return {.size = 11, .monospaced = true, .color = Color::white(0.85)};
}

const std::vector<ModelField>& Settings::fields() {
    using F = ModelField;
    // The full-by sentence reads the limit and, for its lead, the battery and the charger.
    static const std::vector<ModelField> fields{
        F::alertLow,    F::alertHigh,    F::notifyLow,      F::notifyLimit,       F::notifyDrain, F::autoLowPower,
        F::helperState, F::fullByMode,   F::fullByMinutes,  F::fullByTarget,      F::fullOnce,    F::limit,
        F::battery,     F::charger,      F::limitAvailability, F::awakeFloor,     F::awakePowerOnly,
        F::iconStyle,   F::showTime,     F::openAtLogin,    F::aiAvailable,       F::useAI,       F::checksForUpdates,
        F::updateBusy,  F::updateNote};
    return fields;
}

}  // namespace norvane
