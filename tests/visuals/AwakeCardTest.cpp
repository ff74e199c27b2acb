#include <gtest/gtest.h>

#include <limits>

#include "app/controls/Agent.h"
#include "app/visuals/AwakeCard.h"
#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

constexpr Color accent{0.2, 0.8, 0.5, 1};
const Date ten{1'796'724'000};  // 10:00:00 UTC, on a half-hour boundary

// A model on a machine whose process table holds no agent.
class KeepAwakeCard : public ::testing::Test {
protected:
    AppModel& start(std::vector<std::string> arguments = {}) {
        return bench.start(std::move(arguments), [](System& s) { s.processes = std::make_shared<FakeProcesses>(); });
    }
    void advance(double seconds) { bench.queue.advance(seconds); }
    void running(const std::string& json) { bench.machine.write("workspace/running.json", json); }

    ModelBench bench;
    AwakeCard card = AwakeCard::make(accent, {}, ten);
};

TEST_F(KeepAwakeCard, TitlesOfTheTimerChipAndThePresets) {
    const std::pair<std::int64_t, const char*> titles[] = {{0, "0 min"},   {45, "45 min"}, {59, "59 min"}, {60, "1 h"},
                                                           {90, "1h 30m"}, {120, "2 h"},   {1500, "25 h"}};
    for (auto [minutes, title] : titles)
        EXPECT_EQ(short_(minutes), title) << minutes;

    std::vector<std::string> presets;
    for (const auto& p : AwakeCard::presets())
        presets.push_back(p.label + " " + p.accessibility);
    EXPECT_EQ(presets, (std::vector<std::string>{"15m 15 minutes", "30m 30 minutes", "1h 1 hour", "2h 2 hours",
                                                 "4h 4 hours", "8h 8 hours"}));
}

TEST_F(KeepAwakeCard, OpensTheListNamedOnTheCommandLineAndOffersTheNextHalfHour) {
    using C = AwakeCard::Choice;
    const std::pair<std::vector<std::string>, std::optional<C>> lists[] = {
        {{}, std::nullopt},
        {{"--awake-timer"}, C::timer},
        {{"--awake-apps", "--awake-timer"}, C::app},
        {{"--awake-timer", "--awake-agents"}, C::agents},
        {{"--awake-timers"}, std::nullopt},
    };
    for (const auto& [arguments, open] : lists)
        EXPECT_EQ(AwakeCard::make(accent, arguments, ten).open, open);

    const std::pair<double, double> untils[] = {
        {0, 1800},       // exactly on a boundary: half an hour on
        {7 * 60, 3600},  // 10:07 gives 11:00
        {1799.5, 3600},
        {1800.5, 5400},
    };
    for (auto [now, until] : untils)
        EXPECT_EQ(AwakeCard::make(accent, {}, ten + now).until, ten + until) << now;
}

TEST_F(KeepAwakeCard, TheUntilRowStaysWithinItsLimitsAndStartsWholeMinutes) {
    AppModel& m = start();
    const Date now = ten + 7 * 60;  // 10:07, until 11:00
    card = AwakeCard::make(accent, {}, now);
    for (int i = 0; i < 5; ++i)
        card.earlier(now);
    EXPECT_EQ(card.until, ten + 1800);  // the first boundary at or after now
    for (int i = 0; i < 60; ++i)
        card.later(now);
    EXPECT_EQ(card.until, now + 86'400);  // a day ahead, not a boundary

    const std::pair<double, std::int64_t> starts[] = {{2 * 3600 + 10 * 60 + 20, 131},
                                                      {60, 1},
                                                      {59, 1},
                                                      {0, 1},
                                                      {-600, 1},
                                                      {std::numeric_limits<double>::quiet_NaN(), 1},
                                                      {1e30, 1440}};
    for (auto [ahead, minutes] : starts)
        EXPECT_EQ(AwakeCard::minutesUntil(now + ahead, now), minutes) << ahead;

    card.open = AwakeCard::Choice::timer;
    card.until = bench.queue.now() + 130;
    card.start(m, bench.queue.now());
    EXPECT_EQ(m.awake()->mode, AwakeMode::timer(3));
    EXPECT_FALSE(card.listOpen());
}

TEST_F(KeepAwakeCard, ChipsFollowTheStoredModeBrightOnlyWhileOn) {
    AppModel& m = start();
    const Pill faint{Color::white(0.1), Color::white()}, dim{Color::white(0.3), Color::white()},
        bright{Color::white(0.9), Color::black()};
    struct Case {
        AwakeMode mode;
        bool on;
        std::size_t selected;
        std::string timerTitle;
    };
    const Case cases[] = {
        {AwakeMode::untilStopped(), false, 0, "Timer"},
        {AwakeMode::timer(90), true, 1, "1h 30m"},
        {AwakeMode::timer(45), false, 1, "45 min"},
        {AwakeMode::agents(), true, 2, "Timer"},
        {AwakeMode::app("/Applications/Slack.app"), false, 3, "Timer"},
    };
    for (const auto& c : cases) {
        m.setAwakeMode(c.mode);
        bench.probe().awake(c.on ? std::optional(AwakeSession{c.mode, ten}) : std::nullopt);
        const auto chips = card.chips(m);
        EXPECT_EQ(chips[1].title, c.timerTitle);
        for (std::size_t i = 0; i < chips.size(); ++i) {
            EXPECT_EQ(chips[i].selected, i == c.selected) << c.mode.stored() << " " << i;
            EXPECT_EQ(chips[i].pill, i != c.selected ? faint : c.on ? bright : dim) << c.mode.stored() << " " << i;
        }
    }
    card.open = AwakeCard::Choice::app;
    const auto chips = card.chips(m);
    EXPECT_EQ((std::vector{chips[0].outlined, chips[1].outlined, chips[2].outlined, chips[3].outlined}),
              (std::vector{false, false, false, true}));
    EXPECT_FALSE(chips[2].help.empty());
}

TEST_F(KeepAwakeCard, TappingChips) {
    AppModel& m = start({"--agents-all"});
    m.setAwakeMode(AwakeMode::timer(30));
    card.tapChip(1, m);  // Timer: opens its list, starts nothing
    EXPECT_EQ(card.open, AwakeCard::Choice::timer);
    card.tapChip(3, m);  // App: the other list closes
    EXPECT_EQ(card.open, AwakeCard::Choice::app);
    EXPECT_FALSE(m.awake());
    card.tapChip(3, m);
    EXPECT_FALSE(card.listOpen());

    card.tapChip(2, m);  // Agents: starts watching and opens the list, which re-reads the agents
    ASSERT_TRUE(m.awake());
    EXPECT_EQ(m.awake()->mode, AwakeMode::agents());
    EXPECT_EQ(card.open, AwakeCard::Choice::agents);
    EXPECT_EQ(m.agentsInstalled().size(), agents().size());
    advance(10);
    card.tapChip(2, m);  // while agents are watched: only closes the list
    EXPECT_EQ(m.awake()->started, ten);
    EXPECT_FALSE(card.listOpen());

    card.open = AwakeCard::Choice::timer;
    card.tapChip(0, m);  // No limit starts (again, while running) and closes any list
    EXPECT_EQ(m.awake()->mode, AwakeMode::untilStopped());
    advance(10);
    card.tapChip(0, m);
    EXPECT_EQ(m.awake()->started, ten + 20);
    EXPECT_FALSE(card.listOpen());
}

TEST_F(KeepAwakeCard, StatusCountsDownAWholeTimerAndShowsTheWaitedApp) {
    AppModel& m = start();
    bench.probe().battery(plugged(80, false));
    m.startAwake(AwakeMode::timer(30));
    using Status = AwakeCard::Status;
    EXPECT_EQ(AwakeCard::status(m, ten),
              (Status{AwakeCard::Countdown{ten + 1800, Color::white(), "Timer, 30m left"}, {}, m.awakeCaption()}));
    const std::pair<double, const char*> shown[] = {{0, "0:30:00"},      {0.5, "0:30:00"},  {1, "0:29:59"},
                                                    {1799.2, "0:00:01"}, {1800, "0:00:00"}, {4000, "0:00:00"}};
    for (auto [after, text] : shown)
        EXPECT_EQ(AwakeCard::countdownText(ten + 1800, ten + after), text);

    struct Spoken {
        std::int64_t minutes;
        double at;  // after the start
        const char* label;
    };
    const Spoken spoken[] = {
        {30, 1800 - 40, "Timer, 1m left"}, {150, 25 * 60, "Timer, 2h 05m left"}, {30, 1900, "Timer, 1m left"}};
    for (const auto& [minutes, at, label] : spoken) {
        bench.probe().awake(AwakeSession{AwakeMode::timer(minutes), ten});
        EXPECT_EQ(AwakeCard::status(m, ten + at).countdown->accessibility, label) << at;
    }

    // Paused, the countdown dims. A timer from the defaults may end beyond any count of seconds.
    bench.probe().awakeState({AwakeStatus::Quiet{}});
    bench.probe().awake(AwakeSession{AwakeMode::timer(std::numeric_limits<std::int64_t>::max()), ten});
    const auto status = AwakeCard::status(m, ten);
    EXPECT_EQ(status.countdown->color, Color::white(0.35));
    EXPECT_EQ(AwakeCard::countdownText(status.countdown->end, ten), "277777777777:46:40");

    const std::string slack = "/Applications/Slack.app";
    running(R"([{"bundle": "/Applications/Slack.app", "name": "Slack"}])");
    m.startAwake(AwakeMode::app(slack));
    EXPECT_EQ(AwakeCard::status(m, ten), (Status{{}, AppMark{slack, 16, true}, m.awakeCaption()}));
    m.toggleAwake();  // off: the caption alone, though the mode is still the app
    EXPECT_EQ(AwakeCard::status(m, ten), (Status{{}, {}, "Off · the Mac sleeps as usual"}));
}

TEST_F(KeepAwakeCard, HoldersAndFloorLines) {
    AppModel& m = start();
    bench.probe().battery(onBattery(45));
    EXPECT_FALSE(AwakeCard::holdersLine(m));
    bench.probe().holders({{"Music", "playing audio"}});
    EXPECT_EQ(AwakeCard::holdersLine(m), "Kept awake by Music");
    EXPECT_FALSE(AwakeCard::floorLine(m));

    m.startAwake(AwakeMode::untilStopped());
    EXPECT_EQ(AwakeCard::holdersLine(m), "Also kept awake by Music");
    EXPECT_EQ(AwakeCard::floorLine(m), "Lets the Mac sleep at 20% battery.");
    bench.probe().drain(12.0);  // 25 points at 12 an hour
    EXPECT_EQ(AwakeCard::floorLine(m), "Lets the Mac sleep at 20% battery, in about 2h 05m.");

    bench.probe().awakeState({AwakeStatus::LowBattery{}});
    EXPECT_EQ(AwakeCard::holdersLine(m), "Kept awake by Music");
    EXPECT_FALSE(AwakeCard::floorLine(m));
    bench.probe().awakeState({AwakeStatus::Holding{}});
    bench.probe().battery(plugged(45, true));
    EXPECT_FALSE(AwakeCard::floorLine(m));
}

TEST_F(KeepAwakeCard, AgentRowsTellTheirStateAndTapsCountOrIgnore) {
    AppModel& m = start();
    auto list = card.agentList(m, LocaleText("en_US"));
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(list.none,
              "No coding agent found on this Mac. Norvane knows Claude Code, Codex, Cursor, OpenCode, "
              "Copilot, DeepSeek, Gemini, Antigravity, Qwen Code, Goose, Aider, Kimi, and Grok.");

    bench.probe().agentsInstalled({"Claude Code", "Codex", "Gemini", "Grok"});
    bench.probe().agentsRunning({"Claude Code", "Codex", "Grok"});
    bench.probe().agentsWorking({"Claude Code", "Grok"});
    m.setAgentsIgnored({"Grok"});
    list = card.agentList(m, LocaleText("en_US"));
    EXPECT_FALSE(list.none);
    // Name, state, colours of the mark and the title, spoken label, hint, fill of the selection dot.
    using Shown = std::tuple<std::string, std::string, Color, Color, std::string, std::string, Color>;
    std::vector<Shown> shown;
    for (const auto& row : list.rows) {
        EXPECT_EQ(row.mark.pitch, 2.5) << row.name;
        shown.emplace_back(row.name, row.state, row.mark.color, row.title, row.accessibility, row.hint,
                           card.row(row.selected()).dotFill);
    }
    const Color white = Color::white(), light = Color::white(0.9);
    const std::string counted = "Stops counting this agent";
    EXPECT_EQ(shown, (std::vector<Shown>{
                         {"Claude Code", "Working", accent, white, "Claude Code, working", counted, accent},
                         {"Codex", "Waiting", light, white, "Codex, waiting", counted, accent},
                         {"Gemini", "Not running", light, white, "Gemini, not running", counted, accent},
                         // Working, but ignored.
                         {"Grok", "Ignored", Color::white(0.3), Color::white(0.45), "Grok, ignored",
                          "Counts this agent", Color::clear()},
                     }));

    AwakeCard::tapAgent(list.rows[3], m);
    AwakeCard::tapAgent(list.rows[1], m);
    EXPECT_EQ(m.agentsIgnored(), (std::set<std::string>{"Codex"}));
}

TEST_F(KeepAwakeCard, AppRowsScrollPastFiveAndSelectOnlyTheWaitedAppWhileOn) {
    AppModel& m = start();
    const std::pair<std::size_t, double> heights[] = {{0, 0}, {1, 34}, {2, 70}, {5, 178}, {8, 178}};
    for (auto [apps, height] : heights)
        EXPECT_EQ(AwakeCard::appListHeight(apps), height) << apps;

    running("[]");
    const auto list = card.appList(m);
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(list.height, 0);
    EXPECT_TRUE(list.none);

    running(R"([{"bundle": "/Applications/Slack.app", "name": "Slack"},
                {"bundle": "/Applications/Firefox.app", "name": "Firefox"},
                {"bundle": "/System/Library/CoreServices/Dock.app", "name": "Dock", "policy": "prohibited"}])");
    card.open = AwakeCard::Choice::app;
    card.chooseApp("/Applications/Slack.app", m);
    EXPECT_FALSE(card.listOpen());
    const auto row = [](const std::string& name, bool selected) {
        const std::string path = "/Applications/" + name + ".app";
        return AwakeCard::AppRow{{name, path}, selected, AppMark{path, 22, true}};
    };
    EXPECT_EQ(card.appList(m), (AwakeCard::AppList{{row("Firefox", false), row("Slack", true)}, 70, std::nullopt}));

    m.stopAwake();
    EXPECT_FALSE(card.appList(m).rows[1].selected);
    EXPECT_TRUE(card.chips(m)[3].selected);  // the chip still follows the stored mode
}

}  // namespace
}  // namespace norvane
