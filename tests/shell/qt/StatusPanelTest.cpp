#include "app/shell/qt/StatusPanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QAbstractButton>

#include "app/shell/PanelPlacement.h"
#include "app/shell/qt/TrayStatusItem.h"
#include "tests/model/ModelProbe.h"
#include "tests/shell/qt/FakeStatusItem.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

// A monitor whose presses the test makes.
struct FakeClickMonitor final : ClickMonitor {
    Handler handler;
    void installHandler(Handler h) override { handler = std::move(h); }
};

class Panel : public ::testing::Test {
protected:
    ModelBench bench;
    AppModel& m = bench.start();
    std::shared_ptr<const Workspace> workspace = std::make_shared<MachineWorkspace>(bench.machine.machine());
    FakeStatusItem* item = nullptr;
    FakeClickMonitor clicks;
    std::unique_ptr<StatusPanel> panel;

    void SetUp() override { testing::ensureQtApplication(); }
    void make(bool openAtLaunch = false) {
        auto fake = std::make_unique<FakeStatusItem>();
        item = fake.get();
        panel = std::make_unique<StatusPanel>(m, bench.queue, std::move(fake),
                                              PanelLook{Backdrop::forSystem(26), false},
                                              PanelContext{workspace, DateFormatter("en_US", "UTC"),
                                                           LocaleText("en_US"), {}},
                                              openAtLaunch);
        panel->closeOnClicksOutside(clicks);
    }
    // A left press at a point of the screen, made at a time of the display server's, heard on
    // the main queue.
    void press(QPoint at, std::uint32_t time = 0) {
        clicks.handler({ClickMonitor::Button::left, double(at.x()), double(at.y()), time});
        bench.queue.drain();
    }
    void loseFocus() {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(&panel->panel(), &deactivate);
    }
};

TEST_F(Panel, TheItemIsDrawnAtStartAndAgainOnlyWhenWhatItShowsChanged) {
    ModelProbe probe(m);
    probe.battery(onBattery(50));
    make();
    ASSERT_EQ(item->looks.size(), 1u);
    EXPECT_EQ(item->looks.back(), (StatusItemLook{50, false, " 50%", "Norvane, battery 50%"}));

    const AwakeSession session{AwakeMode::untilStopped(), bench.queue.now()};
    struct Step {
        const char* what;
        std::function<void()> change;
        std::optional<StatusItemLook> drawn;  // none: not drawn again
    };
    const Step steps[] = {
        {"a forecast",
         [&] {
             probe.forecast(Forecast{185, true, false});
         },
         StatusItemLook{50, false, " 50% · 3:05", "Norvane, battery 50% · 3:05"}},
        {"a field the item does not show", [&] { probe.limit(80); }, {}},
        {"a session that waits",
         [&] {
             probe.awake(session);
             probe.awakeState(AwakeStatus{AwakeStatus::LowBattery{}});
         },
         {}},
        {"the session holds", [&] { probe.awakeState(AwakeStatus{AwakeStatus::Holding{}}); },
         StatusItemLook{50, true, " 50% · 3:05", "Norvane, battery 50% · 3:05"}},
        {"charge and time at once",
         [&] {
             probe.battery(onBattery(49));
             m.setShowTime(false);
         },
         StatusItemLook{49, true, " 49%", "Norvane, battery 49%"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const std::size_t before = item->looks.size();
        step.change();
        EXPECT_EQ(item->looks.size(), before);  // drawn after the change, once
        bench.queue.drain();
        ASSERT_EQ(item->looks.size(), before + (step.drawn ? 1 : 0));
        if (step.drawn) {
            EXPECT_EQ(item->looks.back(), *step.drawn);
        }
    }
}

TEST_F(Panel, AClickOpensItUnderTheItemAndAClickSoonAfterAClosingDoesNot) {
    make();
    panel->toggle();
    ASSERT_TRUE(panel->isOpen());
    EXPECT_TRUE(m.panelOpen());
    const KeyPanel& window = panel->panel();
    const Point origin = panelOrigin(item->where, window.width(), window.height(), item->visible);
    EXPECT_EQ(window.pos(), QPoint(static_cast<int>(origin.x), static_cast<int>(origin.y)));
    EXPECT_FALSE(item->highlighted);  // on the next turn of the queue
    bench.queue.drain();
    EXPECT_TRUE(item->highlighted);

    panel->toggle();
    EXPECT_FALSE(panel->isOpen());
    EXPECT_FALSE(m.panelOpen());
    EXPECT_FALSE(item->highlighted);
    bench.queue.advance(0.1);
    panel->toggle();
    EXPECT_FALSE(panel->isOpen());
    // The guard runs on the uptime clock: setting the wall clock back does not hold it.
    bench.queue.setWall(bench.queue.now() - 3600);
    bench.queue.advance(0.2);
    panel->toggle();
    EXPECT_TRUE(panel->isOpen());

    loseFocus();
    EXPECT_FALSE(panel->isOpen());
    EXPECT_FALSE(m.panelOpen());

    // A press in the panel leaves it open; one on the desktop closes it.
    bench.queue.advance(1);
    panel->toggle();
    press(window.geometry().center());
    EXPECT_TRUE(panel->isOpen());
    press(QPoint(20, 600));
    EXPECT_FALSE(panel->isOpen());
    EXPECT_FALSE(m.panelOpen());

    // A press heard only after the panel opened, in a window gone meanwhile (the tour's last
    // button): the application had its release first, so it closes nothing; a later one does.
    QWidget gone;
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    release.setTimestamp(70'000);
    QApplication::sendEvent(&gone, &release);
    bench.queue.advance(1);
    panel->show();
    press(QPoint(20, 600), 69'900);
    EXPECT_TRUE(panel->isOpen());
    press(QPoint(20, 600), 70'100);
    EXPECT_FALSE(panel->isOpen());
}

TEST_F(Panel, AnOpenPanelGoesBackUnderItsItemWhenTheItemMovesAndFitsASmallerScreen) {
    m.setWantedTab(Tab::stats);  // 574 points high on a large screen
    make();
    const auto settle = [&] {  // the layouts pass the change up to the window one turn at a time
        bench.queue.drain();
        for (int turn = 0; turn < 4; ++turn) QCoreApplication::sendPostedEvents();
    };
    panel->toggle();
    settle();
    const KeyPanel& window = panel->panel();
    const auto placed = [&] {
        const Point origin = panelOrigin(item->where, window.width(), window.height(), item->visible);
        return window.pos() == QPoint(static_cast<int>(origin.x), static_cast<int>(origin.y));
    };
    const int tall = window.height();
    int followed = 0;  // by what else keeps beside the item, once for the changes under way
    panel->afterScreenChange = [&] { ++followed; };
    // The screen shrinks to 1024 x 600: the item moves with it, and tells so (twice).
    item->where = {950, 0, 74, 24};
    item->visible = {0, 0, 1024, 600};
    item->moved();
    item->moved();
    settle();
    EXPECT_EQ(followed, 1);
    EXPECT_TRUE(placed());
    EXPECT_LE(window.y() + window.height(), 600);
    EXPECT_LT(window.height(), tall);
    // A page change lays the window out once: never a moment with two pages, past the screen.
    struct Heights : QObject {
        int most = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Resize) most = std::max(most, static_cast<QResizeEvent*>(event)->size().height());
            return false;
        }
    } heights;
    panel->panel().installEventFilter(&heights);
    for (const char* page : {"Settings", "STATS"}) {
        for (auto* button : window.findChildren<QAbstractButton*>())
            if (button->isVisible() && (button->text() == page || button->accessibleName() == page)) button->click();
        settle();
        EXPECT_LE(heights.most, 600 - window.y()) << page;
    }
    // Closed, it is placed when it opens again.
    panel->toggle();
    item->where = {1300, 0, 80, 24};
    item->visible = {0, 0, 1440, 900};
    item->moved();
    bench.queue.advance(1);
    panel->toggle();
    settle();
    EXPECT_TRUE(placed());
    EXPECT_EQ(window.height(), tall);
}

TEST_F(Panel, WithTheOpenOptionItOpensHalfASecondLaterAndClosesAsAfterAnyOpening) {
    const std::function<void()> closings[] = {
        [&] { panel->toggle(); },
        [&] { loseFocus(); },
        [&] { press(QPoint(20, 600)); },
    };
    for (const auto& close : closings) {
        make(true);
        bench.queue.advance(0.45);
        EXPECT_FALSE(panel->isOpen());
        bench.queue.advance(0.1);
        ASSERT_TRUE(panel->isOpen());
        EXPECT_TRUE(item->highlighted);
        close();
        EXPECT_FALSE(panel->isOpen());
        EXPECT_FALSE(m.panelOpen());
        EXPECT_FALSE(item->highlighted);
    }
}

TEST(TrayItem, WhereTheTraySaysNothingTheDotsAreLightOnADarkBodyWhateverThePalette) {
    testing::ensureQtApplication();
    const QPalette before = qApp->palette();
    QPalette light = before;
    light.setColor(QPalette::WindowText, Qt::black);
    qApp->setPalette(light);
    TrayStatusItem item;
    item.show(StatusItemLook{50, false, " 50%", "Norvane, battery 50%"});
    EXPECT_EQ(item.ink(), (TrayInk{Color::white(), Color::black()}));
    qApp->setPalette(before);
}

}  // namespace
}  // namespace norvane
