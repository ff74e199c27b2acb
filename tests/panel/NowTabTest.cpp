#include "app/panel/NowTab.h"

#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using testing::titles;
using NowPage = testing::PanelBench;

TEST(NowTabState, FlagsOpenTheDetailsAndOnlyAReplacedTipClosesThem) {
    const NowTab flagged = NowTab::make({"--tip-open", "--limit-open"});
    EXPECT_EQ(std::tuple(flagged.tipOpen, flagged.limitOpen, flagged.awakeListOpen), std::tuple(true, true, false));
    const NowTab plain = NowTab::make({"--tip-opened"});
    EXPECT_EQ(std::pair(plain.tipOpen, plain.limitOpen), std::pair(false, false));

    using Id = std::optional<std::string>;
    const std::tuple<Id, Id, bool> changes[] = {
        {std::nullopt, "a", true},  // the first tip after none keeps them open
        {"a", "b", false},
        {"a", std::nullopt, false},
        {"a", "a", true},
    };
    for (const auto& [before, now, open] : changes) {
        NowTab tab{true};
        tab.tipChanged(before, now);
        EXPECT_EQ(tab.tipOpen, open) << before.value_or("none") << " → " << now.value_or("none");
    }
}

TEST_F(NowPage, TheTipCardHidesWhileTheLimitChoicesOrTheAwakeListAreOpen) {
    Tip tip;
    tip.id = "t";
    probe.tip(tip);
    const std::tuple<bool, bool, bool> rows[] = {
        {false, false, true}, {true, false, false}, {false, true, false}, {true, true, false}};
    for (const auto& [limitOpen, listOpen, shown] : rows)
        EXPECT_EQ((NowTab{false, limitOpen, listOpen}.showsTip(m)), shown) << limitOpen << listOpen;
    probe.tip(std::nullopt);
    EXPECT_FALSE(NowTab{}.showsTip(m));
}

TEST_F(NowPage, TheChipHasThreeStatesAndShowsOnlyWhereALimitIsOffered) {
    const Pill quiet{Color::white(0.1), Color::white()};
    const Pill main{accent, Color::black()};
    struct Row {
        LimitAvailability availability;
        std::optional<FullCharge> fullOnce;
        std::int64_t limit;
        std::optional<NowTab::Chip> chip;
    };
    const availability::Ready ready{{80, 90}};
    const Row rows[] = {
        {availability::Unsupported{"no"}, std::nullopt, 80, std::nullopt},
        {availability::NeedsNewerOS{}, std::nullopt, 80, std::nullopt},
        {availability::UnverifiedOS{"26.5"}, std::nullopt, 80, std::nullopt},
        {ready, FullCharge{80, true}, 80, NowTab::Chip{"Full once", main, "Charging to full once", true}},
        {ready, std::nullopt, 99, NowTab::Chip{"Limit 99%", quiet, "Charge limit 99 percent", true}},
        {ready, std::nullopt, 100, NowTab::Chip{"Limit off", quiet, "Charge limit off", true}},
    };
    for (const auto& row : rows) {
        probe.limitAvailability(row.availability);
        m.setFullOnce(row.fullOnce);
        probe.limit(row.limit);
        EXPECT_EQ((NowTab{false, true}.chip(m, accent)), row.chip) << row.limit;
    }
    EXPECT_FALSE(NowTab{}.chip(m, accent)->outlined);
}

TEST_F(NowPage, TheChoicesOfferMacOSLimitsTheOneTimeFullChargeWhereItHelpsAndTheOutcome) {
    struct Row {
        const char* what;
        Battery battery;
        std::int64_t limit;
        std::uint64_t flags;  // the battery controller's not-charging reason
        bool busy;
        std::optional<std::string> note;
        std::string segments;
        bool offersFullOnce;
    };
    const Row rows[] = {
        {"on battery", onBattery(60), 80, 0, false, std::nullopt, "OFF [80] 90", false},
        {"plugged, limit set", plugged(60, true), 80, 0, false, "Not applied: no", "OFF [80] 90", true},
        {"plugged, limit off", plugged(60, false), 100, 0, false, std::nullopt, "[OFF] 80 90", false},
        {"paused by macOS", plugged(60, false), 100, 0x1000000, true, std::nullopt, "[OFF] 80 90", true},
        {"a limit macOS does not list", plugged(60, false), 85, 0, false, std::nullopt, "OFF 80 90", true},
    };
    probe.limitAvailability(availability::Ready{{80, 90}});
    for (const auto& row : rows) {
        probe.battery(row.battery);
        probe.limit(row.limit);
        probe.chargerFlags(row.flags);
        probe.limitBusy(row.busy);
        probe.limitNote(row.note);
        const auto choices = NowTab{false, true}.choices(m);
        ASSERT_TRUE(choices) << row.what;
        const auto& list = std::get<NowTab::LimitList>(*choices);
        EXPECT_EQ(
            std::tuple(list.options, titles(list.segments), list.enabled, list.busy, list.offersFullOnce, list.note),
            std::tuple(std::vector<std::int64_t>{100, 80, 90}, row.segments, !row.busy, row.busy, row.offersFullOnce,
                       row.note))
            << row.what;
    }

    m.setFullOnce(FullCharge{80, false});  // whatever the limit: the explanation and Cancel
    probe.limitBusy(true);
    EXPECT_EQ(std::get<NowTab::FullOnceChoice>(*(NowTab{false, true}.choices(m))).cancelEnabled, false);
    EXPECT_FALSE((NowTab{false, false}.choices(m)));  // closed
    probe.limitAvailability(availability::Unsupported{""});
    EXPECT_FALSE((NowTab{false, true}.choices(m)));  // "--limit-open" shows nothing without a limit
}

}  // namespace
}  // namespace norvane
