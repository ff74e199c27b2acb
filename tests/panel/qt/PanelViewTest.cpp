#include "app/panel/qt/PanelView.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFocusFrame>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QtTest/QTest>
#include <functional>
#include <set>

#include "app/panel/qt/AppsCardView.h"
#include "app/panel/qt/BatteryCardView.h"
#include "app/panel/qt/HeadlineView.h"
#include "app/panel/qt/HistoryCardView.h"
#include "app/panel/qt/RingRowView.h"
#include "app/panel/qt/SleepCardView.h"
#include "app/panel/qt/StatsTabView.h"
#include "app/panel/qt/SystemCardView.h"
#include "app/panel/qt/TipCardView.h"
#include "app/panel/qt/TopAppsView.h"
#include "app/visuals/qt/AwakeCardView.h"
#include "app/visuals/qt/BackdropView.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/SwitchButton.h"
#include "app/visuals/qt/TextLabel.h"
#include "tests/panel/qt/OpenPanel.h"
#include "tests/support/ScriptedBackend.h"

namespace norvane {
namespace {

using Page = Panel::Page;

// A panel whose tour is over: no notice over the page.
class PanelWidgets : public testing::OpenPanel {
protected:
    PanelWidgets() { tour.finish(); }

    // The titles of the shown segments, the selected one in brackets.
    static std::string segments(SegmentsView* view) {
        std::string out;
        for (auto* b : view->findChildren<QAbstractButton*>()) {
            if (!b->isVisible()) continue;
            const std::string title = b->text().toStdString();
            out += (out.empty() ? "" : " ") + (b->isChecked() ? "[" + title + "]" : title);
        }
        return out;
    }
};

TEST_F(PanelWidgets, ThePageSwitchTheGearAndARequestChangeThePage) {
    PanelView& panel = open();
    const auto shown = [&] {
        std::vector<Page> pages;
        for (Page page : {Page::now, Page::stats, Page::settings})
            if (panel.pageArea(page) && panel.pageArea(page)->isVisible()) pages.push_back(page);
        return pages;
    };
    EXPECT_EQ(shown(), std::vector{Page::now});
    tap(&panel, "STATS");
    EXPECT_EQ(shown(), std::vector{Page::stats});
    tap(&panel, "Settings");
    EXPECT_EQ(std::pair(shown(), panel.gear()->isChecked()), std::pair(std::vector{Page::settings}, true));
    EXPECT_EQ(segments(panel.pageSwitch()), "NOW STATS");
    tap(&panel, "Settings");
    EXPECT_EQ(std::pair(shown(), panel.gear()->isChecked()), std::pair(std::vector{Page::stats}, false));

    tap(&panel, "Settings");
    m.setWantedTab(Tab::now);  // a URL command while the settings are open
    settle();
    EXPECT_EQ(std::pair(shown(), m.wantedTab()), std::pair(std::vector{Page::now}, std::optional<Tab>()));
    EXPECT_EQ(segments(panel.pageSwitch()), "[NOW] STATS");
}

TEST_F(PanelWidgets, TheChipOpensTheChoicesAndAChoiceAsksTheModelForThatLimit) {
    auto backend = std::make_shared<testing::ScriptedBackend>();
    backend->offered = {80, 90, 100};
    backend->reads = {{90, true}};
    probe.backend(backend);
    probe.limitAvailability(availability::Ready{{80, 90}});
    HeadlineView* headline = open().nowTab()->headline();
    QAbstractButton* chip = headline->chip();
    ASSERT_TRUE(chip);
    EXPECT_EQ(chip->accessibleName(), "Charge limit off");
    chip->click();
    settle();
    ASSERT_TRUE(headline->limitSegments() && headline->limitSegments()->isVisible());
    EXPECT_EQ(segments(headline->limitSegments()), "[OFF] 80 90");

    button(headline, "90")->click();
    events();
    EXPECT_TRUE(m.limitBusy());
    EXPECT_EQ(segments(headline->limitSegments()), "[OFF] 80 90");  // the model's limit until it says otherwise
    settle();
    EXPECT_NE(std::find(backend->calls.begin(), backend->calls.end(), "set 90"), backend->calls.end());
    EXPECT_EQ(segments(headline->limitSegments()), "OFF 80 [90]");
    EXPECT_EQ(headline->chip(), chip);  // the same chip, relabelled in place
    EXPECT_EQ(chip->accessibleName(), "Charge limit 90 percent");
}

// Qt's warnings while it lives (a painter that could not begin, a layout at odds).
class QtWarnings {
public:
    QtWarnings() : previous_(qInstallMessageHandler(&QtWarnings::note)) { heard().clear(); }
    ~QtWarnings() { qInstallMessageHandler(previous_); }
    static std::vector<std::string>& heard() {
        static std::vector<std::string> lines;
        return lines;
    }

private:
    static void note(QtMsgType type, const QMessageLogContext&, const QString& text) {
        // The offscreen platform's own note about window hints is no fault of the view's.
        if (type != QtDebugMsg && type != QtInfoMsg && !text.contains(QStringLiteral("propagateSizeHints")))
            heard().push_back(text.toStdString());
    }
    QtMessageHandler previous_;
};

TEST_F(PanelWidgets, TheLimitChoicesFadeInAndOutWhileALimitIsAppliedWithoutAPainterAtOdds) {
    probe.backend(std::make_shared<testing::ScriptedBackend>());
    probe.limitAvailability(availability::Ready{{80, 90}});
    probe.limitBusy(true);
    probe.highPowerAvailable(true);
    probe.lowPowerBusy(true);
    PanelView& panel = open();
    HeadlineView* headline = panel.nowTab()->headline();
    const QtWarnings warnings;
    for (int i = 0; i < 2; ++i) {  // opened, then closed
        headline->chip()->click();
        for (int frame = 0; frame < 4; ++frame) {
            panel.grab();
            bench.run(0.05);
            events();
        }
    }
    EXPECT_EQ(QtWarnings::heard(), std::vector<std::string>{});
    EXPECT_FALSE(headline->limitSegments()->isEnabled());  // still not to be used
}

TEST_F(PanelWidgets, TheEnergyControlsAskTheModelAndShowItsModeWhenTheChangeDidNotTake) {
    probe.highPowerAvailable(true);
    probe.powerMode(0);
    RingRowView* row = open().nowTab()->ringRow();
    ASSERT_TRUE(row->modes());
    // The helper is not set up: each request asks for it (clearing what the rule owed) and
    // changes nothing.
    m.setLowPowerOwed(true);
    tap(row, "LOW");
    EXPECT_EQ(std::pair(m.lowPowerOwed(), m.helperCard()), std::pair(false, true));
    EXPECT_EQ(segments(row->modes()), "LOW [AUTO] HIGH");

    probe.highPowerAvailable(false);
    settle();
    ASSERT_TRUE(row->lowPowerSwitch());
    probe.lowPower(true);
    settle();
    EXPECT_TRUE(row->lowPowerSwitch()->isOn());
    m.setLowPowerOwed(true);
    row->lowPowerSwitch()->click();
    settle();
    EXPECT_FALSE(m.lowPowerOwed());
    EXPECT_EQ(std::pair(row->lowPowerSwitch()->isOn(), row->lowPowerSwitch()->isChecked()), std::pair(true, true));
}

TEST_F(PanelWidgets, TheBlocksBesideTheRingShowTheirCaptionsWholeAndTheirTopLinesAtTheirCaptions) {
    probe.highPowerAvailable(true);
    probe.forecast(Forecast{340, true, false});
    RingRowView* row = open().nowTab()->ringRow();
    const auto whole = [](TextLabel* label) {
        const TextFace face(label->style());
        return face.wrappedHeight(label->text(), label->width()) <= label->height() + 0.5 &&
               (label->style().wraps || face.advance(label->text()) <= label->width());
    };
    struct Case {
        std::int64_t mode;
        bool plugged, owed;
        std::int64_t automatic;
    };
    const Case cases[] = {
        {0, false, false, 0}, {0, true, false, 0}, {2, false, false, 0}, {1, true, true, 0}, {0, false, false, 20}};
    for (const Case c : cases) {
        probe.powerMode(c.mode);
        probe.battery(c.plugged ? plugged(64, false) : onBattery(64));
        probe.helperState(helper_state::Ready{});
        m.setAutoLowPower(c.automatic);
        m.setLowPowerOwed(c.owed);
        settle();
        SCOPED_TRACE(row->energyCaption()->text().toStdString());
        EXPECT_TRUE(whole(row->energyCaption()));
        EXPECT_TRUE(whole(row->timeCaption()));
        EXPECT_LE(row->ring()->height(), row->height());
    }
    // The digits begin where their caption begins, as the card's column is leading.
    EXPECT_EQ(row->digits()->mapTo(row, QPoint()).x(), row->timeCaption()->mapTo(row, QPoint()).x());
}

TEST_F(PanelWidgets, AControlAKeyMovedTheFocusToIsMarkedUntilThePointerIsUsed) {
    bench.machine.write("workspace/running.json", R"([{"bundle": "/Applications/Slack.app", "name": "Slack"}])");
    probe.apps({{"/Applications/Slack.app", "Slack", 40, 3}, {"", "System", 60, 9}});
    PanelView& panel = open();
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    const auto ring = [&] { return panel.findChild<QFocusFrame*>(); };
    const auto marked = [&]() -> QWidget* { return ring() && ring()->isVisible() ? ring()->widget() : nullptr; };

    QAbstractButton* gear = panel.gear();
    QTest::mouseClick(gear, Qt::LeftButton);  // a click gives the focus and no mark
    settle();
    EXPECT_EQ(std::pair(QApplication::focusWidget(), marked()),
              std::pair(static_cast<QWidget*>(gear), static_cast<QWidget*>(nullptr)));
    QTest::mouseClick(gear, Qt::LeftButton);
    settle();
    for (int tab = 0; tab < 3; ++tab) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_TRUE(QApplication::focusWidget());
        EXPECT_EQ(marked(), QApplication::focusWidget());
    }
    // The ring stands just outside the control, in the focus colour.
    QWidget* control = marked();
    ASSERT_TRUE(control);
    const QImage shown = panel.grab().toImage();
    const QPoint left = control->mapTo(&panel, QPoint(-2, control->height() / 2));
    const QColor pixel = shown.pixelColor(left);
    EXPECT_GT(pixel.blue(), pixel.red() + 60) << pixel.name().toStdString();
    QTest::mouseClick(panel.pageSwitch(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(marked(), nullptr);
}

TEST_F(PanelWidgets, AMacWithoutABatteryShowsNoChargeAndOnlyTheStatsCardsThatApply) {
    probe.battery(onBattery(5));  // what the panel would otherwise take for a low battery
    probe.limitAvailability(availability::Ready{{80}});
    m.tick();  // the machine has no battery entry
    PanelView& panel = open({"--limit-open"});
    EXPECT_FALSE(panel.nowTab()->headline()->chip());  // no charge to limit
    RingRowView* row = panel.nowTab()->ringRow();
    EXPECT_EQ(std::pair(row->ring()->charge().present, row->ring()->accessibleName().toStdString()),
              std::pair(false, std::string("No battery")));
    EXPECT_EQ(row->timeCaption()->text(), "on wall power");
    EXPECT_EQ(panel.accent(), m.tint());  // not the low battery's red
    probe.tint({0.5, 0.9, 0.6, 1});       // the desktop picture decoded after the start
    settle();
    EXPECT_EQ(panel.accent(), m.tint());
    tap(&panel, "STATS");
    StatsTabView* stats = panel.statsTab();
    const auto shown = [](QWidget* card) { return card->isVisible(); };
    EXPECT_EQ((std::vector{shown(stats->batteryCard()), shown(stats->systemCard()), shown(stats->historyCard()),
                           shown(stats->sleepCard()), shown(stats->appsCard())}),
              (std::vector{false, true, false, true, true}));
}

TEST_F(PanelWidgets, ThePartsNamesAreInTheAccessibilityTreeWithTheirRoles) {
    probe.battery(onBattery(64));
    probe.forecast(Forecast{340, true, false});
    probe.limitAvailability(availability::Ready{{80}});
    PanelView& panel = open();
    const auto tree = [&] {
        std::set<std::pair<QAccessible::Role, std::string>> out;
        std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* at, int depth) {
            if (!at || depth > 40) return;
            out.emplace(at->role(), at->text(QAccessible::Name).toStdString());
            for (int i = 0; i < at->childCount(); ++i)
                walk(at->child(i), depth + 1);
        };
        walk(QAccessible::queryAccessibleInterface(&panel), 0);
        return out;
    };
    using R = QAccessible::Role;
    // The Now page's parts, then the Stats page's.
    const std::vector<std::vector<std::pair<R, std::string>>> pages{{{R::StaticText, "Battery 64 percent"},
                                                                     {R::StaticText, "5h 40m left"},
                                                                     {R::StaticText, "left on battery"},
                                                                     {R::PushButton, "Charge limit off"},
                                                                     {R::CheckBox, "Low Power Mode"},
                                                                     {R::CheckBox, "Settings"},
                                                                     {R::CheckBox, "STATS"}},
                                                                    {{R::Slider, "Charge limit"},
                                                                     {R::Chart, "Capacity over twelve months"},
                                                                     {R::StaticText, "CPU load not measured yet"},
                                                                     {R::PushButton, "Save a battery report"}}};
    for (const auto& page : pages) {
        for (const auto& element : page)
            EXPECT_TRUE(tree().contains(element)) << element.second;
        tap(&panel, "STATS");
    }
}

TEST_F(PanelWidgets, APressOnAQuitButtonSurvivesTheTickAndTheTipLinksOpenThroughTheWorkspace) {
    bench.machine.write("workspace/running.json", R"([{"bundle": "/Applications/Slack.app", "name": "Slack"}])");
    probe.apps({{"/Applications/Slack.app", "Slack", 40, 3}, {"", "System", 60, 9}});
    Tip tip;
    tip.id = "t";
    tip.line = "Quit Slack";
    tip.sources = {{"Guide", "https://example.com/guide"}, {"Local", "file:///etc/passwd"}};
    probe.tip(tip);
    NowTabView* page = open({"--tip-open"}).nowTab();

    const auto mouse = [](QWidget* widget, bool down) {
        const QPointF centre = QRectF(widget->rect()).center();
        QMouseEvent event(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, centre,
                          widget->mapToGlobal(centre), Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    };
    PillButton* quit = page->topApps()->row("/Applications/Slack.app")->quitButton();
    mouse(quit, true);
    probe.battery(onBattery(40));  // a tick's new reading and forecast
    probe.forecast(Forecast{90, true, false});
    settle();
    mouse(quit, false);
    EXPECT_EQ(m.quitting(), std::set<std::string>{"/Applications/Slack.app"});

    ASSERT_EQ(page->tipCard()->links().size(), 1u);  // the file is no web link
    page->tipCard()->links()[0]->click();
    EXPECT_EQ(workspace->opened, std::vector<std::string>{"https://example.com/guide"});
    tap(page->tipCard(), "Quit Slack");  // the summary closes the details
    EXPECT_FALSE(page->tab().tipOpen);

    // A press on the keep-awake card survives the desktop picture's tint, decoded late.
    QPointer<QAbstractButton> chip = button(page->awakeCard(), "App");
    ASSERT_TRUE(chip);
    mouse(chip, true);
    probe.tint({0.5, 0.9, 0.6, 1});
    settle();
    ASSERT_TRUE(chip) << "the card was made anew under the press";
    mouse(chip, false);
    EXPECT_EQ(page->awakeCard()->card().open, AwakeCard::Choice::app);
}

TEST_F(PanelWidgets, TheRingBlinksOnlyWhileChargingAndShownAndAHiddenPanelWaitsToRefresh) {
    probe.battery(onBattery(50));
    PanelView& panel = open();
    ChargeRing* ring = panel.nowTab()->ringRow()->ring();
    EXPECT_FALSE(ring->blinking());
    probe.battery(plugged(50, true));
    settle();
    EXPECT_TRUE(ring->blinking());
    // The dot after the lit ones, in one step and the next.
    EXPECT_NE(ring->dots(Date{978'307'200}).dots, ring->dots(Date{978'307'200 + 0.6}).dots);
    panel.hide();
    EXPECT_FALSE(ring->blinking());
    probe.battery(plugged(60, true));  // a closed panel does no work until it shows again
    settle();
    EXPECT_EQ(ring->charge().percent, 50);
    panel.show();
    EXPECT_EQ(ring->charge().percent, 60);
    EXPECT_TRUE(ring->blinking());
    probe.battery(plugged(51, false));
    settle();
    EXPECT_FALSE(ring->blinking());
}

TEST_F(PanelWidgets, ARingRedrawnInPartAfterANewReadingShowsWhatANewRingShows) {
    const Color green{0.2, 0.9, 0.4, 1}, red{1, 0.3, 0.3, 1};
    const auto at = [](std::int64_t percent, Color tone, double pitch) {
        return RingRow::Charge{percent, tone, false, pitch, "Battery " + std::to_string(percent) + " percent"};
    };
    RingRow::Charge none = at(72, green, 5);
    none.present = false;
    struct Case {
        const char* what;
        RingRow::Charge before, after;
        bool inPart;  // only the changed dots were drawn again
    };
    const Case cases[] = {
        {"a percent less", at(72, green, 5), at(71, green, 5), true},
        {"a digit more, which moves the %", at(72, green, 5), at(100, green, 4), false},
        {"another tone and a digit less", at(72, green, 5), at(9, red, 5), false},
        {"no battery", at(72, green, 5), none, false},
    };
    // The part of the ring last painted, and what its window shows then.
    struct Shown final : QObject {
        QRegion painted;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) painted = static_cast<QPaintEvent*>(event)->region();
            return false;
        }
        QImage after(ChargeRing& ring) {
            painted = {};
            EXPECT_TRUE(QTest::qWaitFor([&] { return !painted.isEmpty(); }, 1000));
            return ring.screen()->grabWindow(ring.window()->winId()).toImage();  // the backing store
        }
    };
    // On the panel's backdrop, as the Now page shows it.
    const auto shownOnBackdrop = [&](BackdropView& backdrop, const RingRow::Charge& charge, Shown& shown) {
        auto* ring = new ChargeRing(bench.queue, charge, &backdrop);
        ring->move(10, 10);
        backdrop.resize(180, 180);
        ring->installEventFilter(&shown);
        backdrop.show();
        return ring;
    };
    for (const auto& c : cases) {
        BackdropView backdrop(Backdrop::forSystem(26), false), freshBackdrop(Backdrop::forSystem(26), false);
        Shown shown, expected;
        ChargeRing* ring = shownOnBackdrop(backdrop, c.before, shown);
        shown.after(*ring);
        ring->set(c.after);
        const QImage image = shown.after(*ring);
        EXPECT_EQ(shown.painted != QRegion(ring->rect()), c.inPart) << c.what;
        const QImage want = expected.after(*shownOnBackdrop(freshBackdrop, c.after, expected));
        EXPECT_TRUE(image.copy(ring->geometry()) == want.copy(ring->geometry())) << c.what;
    }
}

}  // namespace
}  // namespace norvane
