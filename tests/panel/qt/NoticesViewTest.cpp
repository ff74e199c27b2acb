#include "app/panel/qt/NoticesView.h"

#include <QScrollArea>
#include <QTextDocument>
#include <array>
#include <map>

#include "app/panel/qt/UpdateCardView.h"
#include "tests/panel/qt/OpenPanel.h"

namespace norvane {
namespace {

using PanelNotices = testing::OpenPanel;
using K = Notices::Kind;
using Page = Panel::Page;

TEST_F(PanelNotices, TheCardsComeAndGoWithTheirStateAndTheirButtonsAct) {
    probe.update(AvailableUpdate{"1.5", 60, {"Faster charts."}, std::nullopt});
    m.setLowPowerNote("The energy mode was not changed: no helper.");
    bench.machine.write("workspace/running.json", R"([{"bundle": "/Applications/Pages.app", "name": "Pages",
                                                       "quits": false}])");
    m.setStuck(AppUsage{"/Applications/Pages.app", "Pages <b>1</b>", 1, 1});
    PanelView& panel = open();
    NoticesView* notices = panel.notices(Page::now);
    EXPECT_EQ(notices->shown(), (std::vector{K::update, K::tour, K::energyNote, K::stuck}));
    EXPECT_TRUE(notices->isVisible());

    // The update card follows the stage in place, springing to its new height.
    UpdateCardView* card = notices->updateCard();
    const int offered = card->height();
    probe.updateStage(update_stage::Downloading{0.25});
    settle();
    EXPECT_EQ(notices->updateCard(), card);
    EXPECT_EQ(card->shown()->text, "Downloading · 25%");
    EXPECT_TRUE(card->springing());
    EXPECT_EQ(card->height(), offered);
    bench.run(0.05);
    QCoreApplication::sendPostedEvents();
    EXPECT_LT(card->height(), offered);
    bench.run(1);
    EXPECT_FALSE(card->springing());
    probe.updateStage(update_stage::Downloading{0.5});  // the same stage: no spring
    settle();
    EXPECT_FALSE(card->springing());
    const auto buttons = card->findChildren<QAbstractButton*>();
    EXPECT_TRUE(std::none_of(buttons.begin(), buttons.end(), [](auto* b) { return b->isVisible(); }));

    tap(notices, "OK");
    EXPECT_EQ(m.lowPowerNote(), std::nullopt);
    tap(notices, "Continue the tour");
    EXPECT_EQ(std::pair(toursShown, tour.done()), std::pair(1, false));
    tap(notices, "Skip it");
    EXPECT_TRUE(tour.done());
    // The app's name shows as written in the tool tip too.
    QTextDocument tip;
    tip.setHtml(button(notices, "Force quit")->toolTip());
    EXPECT_EQ(tip.toPlainText(), "Closes Pages <b>1</b> at once. Unsaved changes in it are lost");
    tap(notices, "Force quit");
    EXPECT_EQ(m.stuck(), std::nullopt);
    EXPECT_TRUE(workspace->runningApplications().empty());
    EXPECT_EQ(notices->shown(), std::vector{K::update});

    // Over the Stats page the notices stay above its scroll area.
    tap(&panel, "STATS");
    NoticesView* above = panel.notices(Page::stats);
    EXPECT_TRUE(above->isVisible());
    EXPECT_EQ(above->shown(), std::vector{K::update});
    EXPECT_LT(above->geometry().bottom(), panel.pageArea(Page::stats)->geometry().top());
    probe.update(std::nullopt);
    settle();
    EXPECT_TRUE(above->shown().empty());
    EXPECT_EQ(above->height(), 0);  // none take no room
}

TEST_F(PanelNotices, TheUpdateCardSpringsToItsWholeHeightWithItsContentInPlace) {
    probe.update(AvailableUpdate{"1.5", 60, {"Faster charts."}, std::nullopt});
    UpdateCardView* card = open().notices(Page::now)->updateCard();
    // Where each shown part of the card is, within it.
    const auto places = [card] {
        std::map<QWidget*, std::array<int, 4>> out;
        for (auto* part : card->findChildren<QWidget*>())
            if (const QPoint at = part->mapTo(card, QPoint()); part->isVisible())
                out[part] = {at.x(), at.y(), part->width(), part->height()};
        return out;
    };
    // Each change of stage springs the card: shorter with a part made as it springs (the bar
    // in place of the buttons), taller (the check's longer line), and taller with parts made
    // (a failure's two buttons).
    for (const UpdateStage& stage : std::vector<UpdateStage>{
             update_stage::Downloading{0.5}, update_stage::Checking{},
             update_stage::Failed{"The download is not the file the website announced. Try again later."}}) {
        SCOPED_TRACE(stage.index());
        probe.updateStage(stage);
        settle();
        ASSERT_TRUE(card->springing());
        std::vector<std::map<QWidget*, std::array<int, 4>>> frames;
        int last = 0;
        for (int i = 0; card->springing() && i < 120; ++i, bench.run(1.0 / 60), events()) {
            frames.push_back(places());
            last = card->height();
        }
        ASSERT_FALSE(card->springing());
        events();
        // The card ends at the height it sprang to, and nothing moved on the way.
        EXPECT_EQ(card->height(), last);
        for (const auto& frame : frames) EXPECT_EQ(frame, places());
    }
}

}  // namespace
}  // namespace norvane
