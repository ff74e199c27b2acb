#include "app/panel/Settings.h"

#include <limits>

#include "app/model/DefaultsKeys.h"
#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using SettingsScreen = testing::PanelBench;
using S = Settings;
using testing::titles;

// Each group as "Title: row key, row key, …".
std::vector<std::string> outline(const std::vector<S::Group>& groups) {
    std::vector<std::string> out;
    for (const auto& group : groups) {
        std::string line = group.title + ":";
        for (const auto& row : group.rows)
            line += " " + S::key(row) + ",";
        out.push_back(line);
    }
    return out;
}

const S::Group& group(const std::vector<S::Group>& groups, std::string_view title) {
    for (const auto& g : groups)
        if (g.title == title) return g;
    throw std::runtime_error("no group " + std::string(title));
}

TEST_F(SettingsScreen, EightCardsWithTheirRowsBoundToTheModel) {
    const auto plain = S::groups(m, {false, false, "development build"});
    EXPECT_EQ(outline(plain),
              (std::vector<std::string>{
                  "Alerts: Plug in at, Unplug at, Under 30 minutes left, Charged to the limit, An app drains unusually "
                  "fast,",
                  "Low Power Mode: Switch on by itself under,",
                  "Full by a set time: full by,",
                  "Stay awake: Let go on battery at, Only on wall power,",
                  "Keyboard shortcuts: shortcut awake, shortcut panel, note,",
                  "Norvane: App icons, Time left in the menu bar, Check for updates once a day, version,",
                  "Links: note, norvane://awake?minutes=60, norvane://awake?mode=agents, norvane://awake/off, "
                  "norvane://low-power/on, norvane://limit/80, norvane://charge-full,",
                  "App: Quit Norvane,",
              }));

    // The level pickers: options, the setting they write, "OFF" for 0, the model's value selected.
    struct Level {
        S::Level setting;
        std::vector<std::int64_t> options;
        std::string segments;
    };
    const Level levels[] = {
        {S::Level::alertLow, {0, 10, 20, 30}, "[OFF] 10% 20% 30%"},
        {S::Level::alertHigh, {0, 80, 90, 100}, "[OFF] 80% 90% 100%"},
        {S::Level::autoLowPower, {0, 10, 20, 30, 50}, "[OFF] 10% 20% 30% 50%"},
        {S::Level::awakeFloor, {10, 20, 30, 50}, "10% [20%] 30% 50%"},
    };
    std::vector<S::Flag> flags;
    std::size_t found = 0;
    for (const auto& g : plain)
        for (const auto& row : g.rows) {
            if (const auto* flag = std::get_if<S::FlagRow>(&row)) flags.push_back(flag->setting);
            const auto* level = std::get_if<S::LevelRow>(&row);
            if (!level) continue;
            ASSERT_LT(found, std::size(levels));
            EXPECT_EQ(std::tuple(level->setting, level->options, titles(level->segments)),
                      std::tuple(levels[found].setting, levels[found].options, levels[found].segments));
            ++found;
        }
    EXPECT_EQ(found, std::size(levels));
    using F = S::Flag;
    EXPECT_EQ(flags, (std::vector{F::notifyLow, F::notifyLimit, F::notifyDrain, F::awakePowerOnly, F::showTime,
                                  F::checksForUpdates}));

    // A change is stored at once, under the setting's own key.
    S::set(m, S::Level::alertLow, 20);
    S::set(m, F::notifyDrain, false);
    const auto stored = bench.stored();
    EXPECT_EQ(std::pair(stored.integerObject(keys::alertLow), stored.boolean(keys::notifyDrain)),
              std::pair(std::optional<std::int64_t>(20), false));
    EXPECT_EQ(titles(std::get<S::LevelRow>(group(S::groups(m, {}), "Alerts").rows[0]).segments), "OFF 10% [20%] 30%");

    // Rows that come with their conditions, and the link rows' accessibility.
    probe.aiAvailable(true);
    probe.updateNote("You have the newest version.");
    probe.updateBusy(true);
    const auto all = S::groups(m, {true, true, "1.4.2 (57)"});
    EXPECT_EQ(outline({group(all, "Norvane")}),
              std::vector<std::string>{"Norvane: App icons, Time left in the menu bar, Open at login, Word the summary "
                                       "with Apple Intelligence, Check for updates once a day, version, Open,"});
    const auto& rows = group(all, "Norvane").rows;
    EXPECT_EQ(std::get<S::VersionRow>(rows[5]),
              (S::VersionRow{"Version 1.4.2 (57)", false, "You have the newest version."}));
    EXPECT_EQ(std::get<S::ButtonRow>(rows[6]),
              (S::ButtonRow{"Welcome tour and permissions", "Open", std::nullopt, S::Action::openTour}));
    EXPECT_EQ(std::get<S::LinkRow>(group(all, "Links").rows[4]),
              (S::LinkRow{"norvane://low-power/on", "Low Power", "Low Power: norvane://low-power/on. Click to copy"}));
}

TEST_F(SettingsScreen, TheLowPowerCardFollowsTheHelper) {
    const std::string ready =
        "On battery only. Norvane switches it back off once the battery is charged above this level.";
    const std::string needed = "Needs the Low Power helper: flip the Low Power switch on the Now tab once to add it.";
    const std::pair<HelperState, std::pair<std::string, bool>> rows[] = {
        {helper_state::Ready{}, {ready, true}},
        {helper_state::NeedsApproval{}, {needed, true}},
        {helper_state::NotInstalled{}, {needed, false}},
        {helper_state::Unavailable{"Only in the built app."}, {needed, false}},
    };
    for (const auto& [state, expected] : rows) {
        probe.helperState(state);
        const auto groups = S::groups(m, {});
        const auto& card = group(groups, "Low Power Mode").rows;
        const bool removable = card.size() == 2 && std::get<S::ButtonRow>(card[1]).action == S::Action::removeHelper;
        EXPECT_EQ(std::pair(std::get<S::LevelRow>(card[0]).note, removable), expected) << state.index();
    }
}

TEST_F(SettingsScreen, HalfHoursWrapPastMidnightAndKeepTheMode) {
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    const std::tuple<std::int64_t, std::int64_t, std::int64_t> times[] = {
        {0, 1410, 30}, {1410, 1380, 0}, {480, 450, 510}, {-30, 1380, 0}, {most, 1057, 1117}};
    for (const auto& [minutes, earlier, later] : times)
        EXPECT_EQ(std::pair(S::earlier(minutes), S::later(minutes)), std::pair(earlier, later)) << minutes;

    m.setFullBy(FullByMode::daily, 0);
    S::perform(S::Action::earlier, m, bench.queue.now());
    EXPECT_EQ(std::pair(m.fullByMode(), m.fullByMinutes()), std::pair(FullByMode::daily, std::int64_t{1410}));
    m.setFullBy(FullByMode::off, 1410);
    S::perform(S::Action::later, m, bench.queue.now());
    EXPECT_EQ(std::pair(m.fullByMode(), m.fullByMinutes()), std::pair(FullByMode::off, std::int64_t{0}));

    // Off: dimmed, and without a charge limit the sentence about one.
    const auto fullBy = [&] { return std::get<S::FullByRow>(group(S::groups(m, {}), "Full by a set time").rows[0]); };
    auto row = fullBy();
    EXPECT_EQ(std::tuple(titles(row.segments), row.time, row.dimmed, row.accessibility),
              std::tuple("[OFF] ONCE EVERY DAY", "0:00", true, "Full by 0:00"));
    EXPECT_TRUE(row.note.starts_with("For a Mac with a charge limit set"));
    // With a limit in force, the model's own sentence; a mode chosen sets a target at once.
    probe.limitAvailability(availability::Ready{{80, 90}});
    probe.limit(80);
    row = fullBy();
    EXPECT_EQ(row.note, "Off. The charge stays at the limit.");
    m.setFullBy(FullByMode::once, 1020);
    row = fullBy();
    EXPECT_EQ(std::tuple(titles(row.segments), row.time, row.dimmed),
              std::tuple("OFF [ONCE] EVERY DAY", "17:00", false));
    EXPECT_TRUE(row.note.starts_with("Charging to 100% starts at about ")) << row.note;
}

}  // namespace
}  // namespace norvane
