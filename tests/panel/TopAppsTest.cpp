#include "app/panel/TipCard.h"
#include "app/panel/TopApps.h"

#include <limits>

#include "app/analysis/Duration.h"
#include "app/analysis/Forecast.h"
#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using TopAppsCard = testing::PanelBench;
using Line = TopApps::QuitLine;

const AppUsage systemApps{"", "System", 50, 9};
const AppUsage safari{"/Applications/Safari.app", "Safari", 25, 3};
const AppUsage slack{"/Applications/Slack.app", "Slack", 15, 4};
const AppUsage xcode{"/Applications/Xcode.app", "Xcode", 10, 2};
const AppUsage mail{"/Applications/Mail.app", "Mail", 0, 1};

TEST_F(TopAppsCard, RowsWithShareGainAndTheControlThatFollowsTheModel) {
    probe.apps({systemApps, safari, slack, xcode, mail});
    probe.battery(onBattery(60));
    probe.forecast(Forecast{120, true, false});
    probe.workingIn(slack.id);
    probe.quitting({xcode.id});
    using A = TopApps::Action;
    const std::vector<TopApps::Row> rows{
        {safari, "25%", m.advice(safari), "If you quit: 2h 00m → ≈2h 17m (≈+17m)", A::quit, "Quit Safari"},
        {slack, "15%", m.advice(slack), "If you quit: 2h 00m → ≈2h 09m (≈+9m)", A::inUse, ""},
        {xcode, "10%", m.advice(xcode), "If you quit: 2h 00m → ≈2h 06m (≈+6m)", A::quitting, "Quitting Xcode"},
    };
    const auto card = TopApps::card(m);
    EXPECT_EQ(card, (TopApps::Card{std::nullopt, false, rows,
                                   "Gains are rough estimates from each app's share, not a forecast."}));

    // A share just under a whole percent, and a gain under a minute.
    probe.apps({{"/Applications/A.app", "A", 999, 1}, {"/Applications/B.app", "B", 1, 1}});
    probe.forecast(Forecast{1, true, false});
    const auto small = TopApps::card(m);
    ASSERT_EQ(small.rows.size(), 2u);
    EXPECT_EQ(std::tuple(small.rows[0].share, small.rows[1].share, *small.rows[0].gain),
              std::tuple("99%", "0%", "Quitting would add under a minute"));
}

// The heavy-app tip and the app's row put one gain on one screen: both read the forecast on
// show, the demonstration's too.
TEST(TopAppsAndTip, GainFromTheForecastOnShow) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"--demo"}}) {
        ModelBench bench;
        bench.writeBattery(onBattery(50));
        AppModel& m = bench.start(arguments, [](System& s) { s.processes = std::make_shared<FakeProcesses>(); });
        ModelProbe probe(m);
        probe.panelOpen(true);
        probe.apps({safari, xcode});  // 71 %
        const Date now = bench.queue.now();
        probe.draws({{now - 150, 1200}, {now - 100, 1200}, {now - 50, 1200}});
        m.tick();
        ASSERT_TRUE(m.forecast() && m.tip()) << arguments.size();
        const std::string gain = duration(gainMinutes(m.forecast()->minutes, 25.0 / 35));
        EXPECT_TRUE(TopApps::card(m).rows.at(0).gain.value_or("").ends_with("(≈+" + gain + ")")) << gain;
        EXPECT_TRUE(m.tip()->effect.starts_with("About +" + gain + " at the current draw")) << m.tip()->effect;
    }
}

TEST_F(TopAppsCard, TheEndNoteSaysWhereTheGainsComeFrom) {
    struct Row {
        std::vector<AppUsage> apps;
        Battery battery;
        std::optional<Forecast> forecast;
        bool measuring;
        std::size_t rows;
        bool gains;
        std::optional<std::string> note;
    };
    const std::vector<AppUsage> none, system{systemApps}, one{safari};
    const Forecast settled{120, true, false};
    const std::string measuring = "Measuring the draw: the first estimate takes about 15 seconds.";
    const Row rows[] = {
        {none, onBattery(60), settled, true, 0, false, std::nullopt},
        {system, onBattery(60), settled, false, 0, false, std::nullopt},
        {one, plugged(60, true), settled, false, 1, false, "Time gains appear when the Mac runs on battery."},
        {one, onBattery(60), std::nullopt, false, 1, false, measuring},
        {one, onBattery(60), Forecast{120, false, false}, false, 1, false, measuring},
        {one, onBattery(60), Forecast{120, true, true}, false, 1, true,
         "First estimates, from under two minutes of readings. They settle as Norvane measures."},
    };
    for (const auto& row : rows) {
        probe.apps(row.apps);
        probe.battery(row.battery);
        probe.forecast(row.forecast);
        const auto card = TopApps::card(m);
        EXPECT_EQ(std::tuple(card.measuring, card.rows.size(), !card.rows.empty() && card.rows[0].gain, card.note),
                  std::tuple(row.measuring, row.rows, row.gains, row.note))
            << row.note.value_or("no note");
    }
}

TEST_F(TopAppsCard, QuitLinesFromMeasuringToTheMeasuredEffect) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<QuitResult, Line> rows[] = {
        {{"Safari", 10, std::nullopt, std::nullopt, true},
         {"Measuring what quitting Safari changed: about 15 seconds.", std::nullopt}},
        {{"Safari", 10, 10.6, 30, false},
         {"Since Safari quit the Mac uses more: 10.0 W → ≈10.6 W", "Something else is busy now: see the apps below."}},
        {{"Safari", 10, 10.5, std::nullopt, true},  // exactly 1.05 times is not more
         {"After quitting Safari: 10.0 W → ≈10.5 W", "A first reading. It settles within two minutes."}},
        {{"100% Pure", 12.34, 8, 0, false},
         {"After quitting 100% Pure: 12.3 W → ≈8.0 W · no time gained", "Measured since the quit."}},
        {{"Safari", 12, 8, 75, false},
         {"After quitting Safari: 12.0 W → ≈8.0 W · ≈+1h 15m", "Measured since the quit."}},
        {{"Safari", nan, 8, std::nullopt, false}, {"After quitting Safari: — W → ≈8.0 W", "Measured since the quit."}},
    };
    for (const auto& [result, line] : rows)
        EXPECT_EQ(TopApps::quitLine(result), line) << line.first;

    // The card shows the model's record.
    probe.quitEffect(QuitEffect{"Safari", bench.queue.now(), 1000});
    EXPECT_EQ(TopApps::card(m).quit, rows[0].second);
}

TEST(TipCardParts, ClosedItIsOneRowOpenedItShowsEveryPart) {
    Tip tip{"low-power",
            "Turn on Low Power",
            "Switch it on",
            "About an hour more",
            "Under 30 minutes left",
            Evidence::apple,
            {{"Apple support", "https://support.apple.com/en-us/102338"},
             {"Plain web", "HTTP://example.com/a"},
             {"No link", "not a url"},
             {"A file", "file:///etc/passwd"},
             {"Script", "javascript:alert(1)"},
             {"No host", "https:///path"}},
            tip_button::LowPower{}};
    EXPECT_EQ(TipCard::make(tip, false), (TipCard{tip.line, false, "Shows the details", {}, {}, {}, std::nullopt}));
    EXPECT_EQ(
        TipCard::make(tip, true),
        (TipCard{tip.line,
                 true,
                 "Hides the details",
                 {{"What to do", tip.action}, {"What it gives", tip.effect}, {"Why now", tip.why}},
                 "Apple guidance",
                 {{"Apple support", "https://support.apple.com/en-us/102338"}, {"Plain web", "HTTP://example.com/a"}},
                 "Turn on Low Power"}));

    tip.button.reset();
    tip.sources.clear();
    tip.evidence = Evidence::appleResearch;
    const auto plain = TipCard::make(tip, true);
    EXPECT_EQ(std::tuple(plain.evidence, plain.links.empty(), plain.act),
              std::tuple("Apple guidance, backed by research", true, std::nullopt));
}

}  // namespace
}  // namespace norvane
