#include "app/panel/Panel.h"

#include <cmath>
#include <limits>

#include "app/visuals/ChargeTone.h"
#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using Page = Panel::Page;
using testing::titles;
using PanelPages = testing::PanelBench;

TEST(PanelRoot, TheAccentTurnsRedAtTwentyPercentOnBatteryOnly) {
    const Color tint{0.9, 0.8, 0.7, 1};
    const std::tuple<std::int64_t, bool, Color> rows[] = {
        {20, false, signalRed}, {0, false, signalRed}, {21, false, tint}, {5, true, tint}, {100, false, tint}};
    for (const auto& [percent, plugged, accent] : rows) {
        Battery battery;
        battery.percent = percent;
        battery.plugged = plugged;
        EXPECT_EQ(panelAccent(battery, tint), accent) << percent << " plugged " << plugged;
    }
}

TEST(PanelRoot, TheLaunchFlagsPickThePageAndTheHeaderFollowsTheGear) {
    const Color accent{0.2, 0.8, 0.5, 1};
    struct Row {
        std::vector<std::string> arguments;
        Page first;
        std::string segments;
        Page afterGear;  // the gear pressed once
    };
    const Row rows[] = {
        {{}, Page::now, "[NOW] STATS", Page::settings},
        {{"--stats"}, Page::stats, "NOW [STATS]", Page::settings},
        {{"--settings"}, Page::settings, "NOW STATS", Page::now},
        {{"--stats", "--settings"}, Page::settings, "NOW STATS", Page::stats},
        {{"--stats=1", "-settings"}, Page::now, "[NOW] STATS", Page::settings},  // whole arguments only
    };
    for (const auto& row : rows) {
        Panel panel = Panel::make(row.arguments);
        const auto header = panel.header(accent);
        EXPECT_EQ(std::tuple(panel.page(), titles(header.pages.segments()), header.gearSelected, header.gear),
                  std::tuple(row.first, row.segments, row.first == Page::settings,
                             row.first == Page::settings ? accent : Color::white()))
            << row.arguments.size();
        panel.toggleSettings();
        EXPECT_EQ(panel.page(), row.afterGear);
        EXPECT_EQ(panel.bottomPadding(), row.afterGear == Page::now ? 14 : 0);
    }
}

TEST_F(PanelPages, APageChosenOrRequestedClosesTheSettingsAndTheRequestIsTakenOnce) {
    Panel panel = Panel::make({"--settings"});
    panel.choose(std::nullopt);  // an empty selection changes nothing
    EXPECT_EQ(panel.page(), Page::settings);
    panel.choose(Tab::now);  // the page already held
    EXPECT_EQ(panel.page(), Page::now);

    panel.toggleSettings();
    m.setWantedTab(Tab::stats);
    panel.takeWantedTab(m);
    EXPECT_EQ(std::pair(panel.page(), m.wantedTab()), std::pair(Page::stats, std::optional<Tab>()));
    panel.takeWantedTab(m);  // nothing asked: nothing changes
    EXPECT_EQ(panel.page(), Page::stats);

    panel.toggleSettings();
    m.setWantedTab(Tab::stats);  // the same request again is taken again
    panel.takeWantedTab(m);
    EXPECT_EQ(std::pair(panel.page(), m.wantedTab()), std::pair(Page::stats, std::optional<Tab>()));
}

TEST(PanelRoot, TheNowPageIsCappedByTheScreenButNeverBelowAUsableHeight) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::tuple<bool, std::optional<double>, double> rows[] = {
        {true, 2000.0, 420},
        {true, std::nullopt, 420},  // --short wins, even on a large screen
        {false, std::nullopt, 804},
        {false, nan, 804},  // no screen
        {false, 2000.0, 1904},
        {false, 877.0, 781},
        {false, 300.0, Panel::leastNowHeight},
        {false, -50.0, Panel::leastNowHeight},  // a tiny screen
    };
    for (const auto& [short_, visible, cap] : rows)
        EXPECT_EQ(Panel::nowHeightCap(short_, visible), cap) << short_ << " " << visible.value_or(-1);

    EXPECT_EQ(std::tuple(Panel::pageHeight(Page::stats, false), Panel::pageHeight(Page::settings, false),
                         Panel::pageHeight(Page::stats, true), Panel::pageHeight(Page::settings, true)),
              std::tuple(574, 574, 1700, 1400));
    // Within a screen: no taller than the Now page may be (a 600-point screen, a 2000-point one).
    EXPECT_EQ(
        std::tuple(Panel::pageHeight(Page::stats, false, 600.0), Panel::pageHeight(Page::settings, true, 2000.0),
                   Panel::pageHeight(Page::stats, false, 40.0), Panel::pageHeight(Page::stats, false, std::nan(""))),
        std::tuple(504, 1400, Panel::leastNowHeight, 574));
}

}  // namespace
}  // namespace norvane
