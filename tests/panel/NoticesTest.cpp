#include "app/panel/Notices.h"
#include "app/panel/UpdateCard.h"

#include <cmath>

#include "tests/panel/OpenedLinks.h"
#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using NoticeCards = testing::PanelBench;
using K = Notices::Kind;

const AvailableUpdate offer{"1.5", 60, {"Faster charts."}, std::nullopt};

TEST_F(NoticeCards, PresentInTheirFixedOrderWhileTheirStateHolds) {
    struct Row {
        const char* name;
        std::optional<AvailableUpdate> update;
        bool later;
        UpdateStage stage;
        Notices::Tour tour;
        bool helperCard;
        HelperState helper;
        std::optional<std::string> note;
        bool stuck;
        std::vector<K> cards;
    };
    const HelperState ready = helper_state::Ready{}, approval = helper_state::NeedsApproval{};
    const update_stage::Idle idle;
    const Notices::Tour noTour;
    using Cards = std::vector<K>;
    const Row rows[] = {
        {"nothing", {}, false, idle, {}, false, ready, {}, false, {}},
        {"everything", offer, false, idle, Notices::Tour{true, false}, true, approval, "No.", true,
         Cards{K::update, K::tour, K::helperSetup, K::energyNote, K::stuck}},
        {"an offer put off", offer, true, idle, {}, false, ready, {}, false, {}},
        {"put off, but downloading", offer, true, update_stage::Downloading{0.5}, noTour, false, ready, std::nullopt,
         false, Cards{K::update}},
        {"put off, but failed", offer, true, update_stage::Failed{"No."}, {}, false, ready, {}, false, {K::update}},
        {"a tour done", {}, false, idle, {true, true}, false, ready, {}, false, {}},
        {"a tour not offered", {}, false, idle, {false, false}, false, ready, {}, false, {}},
        {"the card wanted while the helper is ready", {}, false, idle, {}, true, ready, {}, false, {}},
        {"the card while the helper cannot run", std::nullopt, false, idle, noTour, true,
         helper_state::Unavailable{"Not here."}, std::nullopt, false, Cards{K::helperSetup}},
        {"a note and a stuck app", {}, false, idle, {}, false, ready, "No.", true, {K::energyNote, K::stuck}},
    };
    for (const auto& row : rows) {
        probe.update(row.update);
        m.setUpdateLater(row.later);
        probe.updateStage(row.stage);
        m.setHelperCard(row.helperCard);
        probe.helperState(row.helper);
        m.setLowPowerNote(row.note);
        m.setStuck(row.stuck ? std::optional(AppUsage{"/Applications/Pages.app", "Pages", 1, 1}) : std::nullopt);
        EXPECT_EQ(Notices::present(m, row.tour), row.cards) << row.name;
    }
}

TEST_F(NoticeCards, TheHelperCardByStateAndTheStuckAppsNameUnchanged) {
    const auto general = Notices::helperSetup(helper_state::NotInstalled{});
    EXPECT_EQ(general.button, "Continue");
    EXPECT_TRUE(general.note.starts_with("Switching Low Power Mode needs administrator rights."));
    EXPECT_EQ(Notices::helperSetup(helper_state::Unavailable{"Only in the built app."}), general);
    const auto approval = Notices::helperSetup(helper_state::NeedsApproval{});
    EXPECT_EQ(approval.button, "Open Login Items");
    EXPECT_EQ(approval.note,
              "Allow Norvane under “Allow in the Background” in System Settings → Login Items, then switch Low Power "
              "Mode again.");

    EXPECT_EQ(Notices::stuck({"/Applications/A.app", "Dr. Who's <b>Notes</b>, 2", 1, 1}),
              (Notices::Stuck{"Dr. Who's <b>Notes</b>, 2 is still running. It may be waiting for you to confirm, or it "
                              "ignores the request.",
                              "Closes Dr. Who's <b>Notes</b>, 2 at once. Unsaved changes in it are lost"}));
}

// An app that quit meanwhile: the card closes, nothing else happens. (Ending one that asks
// to save is the panel's "Force quit" test.)
TEST_F(NoticeCards, ForceQuitOfAnAppThatQuitMeanwhileOnlyClosesTheCard) {
    const MachineWorkspace workspace(bench.machine.machine());
    m.setStuck(AppUsage{"/Applications/Pages.app", "Pages", 1, 1});
    Notices::forceQuitStuck(m, workspace);
    EXPECT_EQ(m.stuck(), std::nullopt);
}

TEST_F(NoticeCards, TheUpdateCardHasARowForEachStage) {
    using A = UpdateCard::Action;
    using B = UpdateCard::Button;
    using Bar = UpdateCard::Bar;
    const Pill main{accent, Color::black()}, quiet = UpdateCard::quietPill;
    const std::vector<B> offered{
        {"Update", main, A::download}, {"What's new", quiet, A::changelog}, {"Later", quiet, A::later}};
    const std::vector<std::string> none;
    struct Row {
        UpdateStage stage;
        std::vector<std::string> notes;
        std::optional<std::string> blocker;
        std::optional<Bar> bar;
        std::optional<std::string> text;
        std::vector<B> buttons;
    };
    const Row rows[] = {
        {update_stage::Idle{}, {"Faster charts.", "More."}, {}, {}, "Faster charts.", offered},
        {update_stage::Idle{}, {}, {}, {}, {}, offered},
        {update_stage::Idle{}, none, "This copy is not an app bundle.", std::nullopt, std::nullopt,
         std::vector<B>{B{"Download", main, A::downloadPage}, offered[1], offered[2]}},
        {update_stage::Downloading{0}, {}, {}, Bar{0, accent}, "Downloading · 0%", {}},
        {update_stage::Downloading{0.125}, {}, {}, Bar{0.125, accent}, "Downloading · 13%", {}},
        {update_stage::Downloading{0.994}, {}, {}, Bar{0.994, accent}, "Downloading · 99%", {}},
        {update_stage::Downloading{0.996}, {}, {}, Bar{0.996, accent}, "Downloading · 100%", {}},
        {update_stage::Downloading{1}, {}, {}, Bar{1, accent}, "Downloading · 100%", {}},
        {update_stage::Downloading{1.5}, {}, {}, Bar{1.5, accent}, "Downloading · 100%", {}},
        {update_stage::Downloading{-0.25}, {}, {}, Bar{-0.25, accent}, "Downloading · 0%", {}},
        {update_stage::Checking{}, none, std::nullopt, Bar{1, accent},
         "Checking that the download is a genuine copy of Norvane", std::vector<B>{}},
        {update_stage::Ready{"/tmp/Norvane.app"}, none, std::nullopt, Bar{1, UpdateCard::done},
         "Downloaded and checked. Norvane closes for a moment and opens again as 1.5.",
         std::vector<B>{B{"Install and relaunch", main, A::install}}},
        {update_stage::Installing{}, {}, {}, Bar{1, UpdateCard::done}, "Installing", {}},
        {update_stage::Failed{"The download was cut off."}, none, std::nullopt, std::nullopt,
         "The download was cut off.",
         std::vector<B>{B{"Try again", main, A::download}, B{"Download by hand", quiet, A::downloadPage}}},
    };
    for (const auto& row : rows) {
        const auto card =
            UpdateCard::make({"1.5", 60, row.notes, {}}, row.stage, "development build", row.blocker, accent);
        EXPECT_EQ(std::tuple(card.running, card.title),
                  std::tuple("You have development build", "Norvane 1.5 is available"));
        EXPECT_EQ(card.bar, row.bar) << row.stage.index();
        EXPECT_EQ(card.text, row.text) << row.stage.index();
        EXPECT_EQ(card.buttons, row.buttons) << row.stage.index();
        EXPECT_EQ(card.failure, std::holds_alternative<update_stage::Failed>(row.stage));
        EXPECT_EQ(card.blocker, std::holds_alternative<update_stage::Idle>(row.stage) ? row.blocker : std::nullopt);
    }
    EXPECT_EQ(UpdateCard::percent(std::nan("")), "0%");
}

TEST_F(NoticeCards, TheUpdateCardsButtonsCallTheModelOrOpenTheWebsite) {
    const auto workspace = std::make_shared<testing::OpenedLinks>(bench.machine.machine());
    probe.update(offer);
    UpdateCard::perform(UpdateCard::Action::later, m, *workspace);
    EXPECT_TRUE(m.updateLater());
    EXPECT_FALSE(UpdateCard::present(m));
    UpdateCard::perform(UpdateCard::Action::changelog, m, *workspace);
    UpdateCard::perform(UpdateCard::Action::downloadPage, m, *workspace);
    EXPECT_EQ(workspace->opened,
              (std::vector<std::string>{"https://norvane.app/changelog/", "https://norvane.app/download/"}));
    UpdateCard::perform(UpdateCard::Action::download, m, *workspace);
    EXPECT_TRUE(std::holds_alternative<update_stage::Downloading>(m.updateStage()));
    EXPECT_TRUE(UpdateCard::present(m));  // a download under way shows while put off
}

}  // namespace
}  // namespace norvane
