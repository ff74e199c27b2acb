#include "app/panel/qt/StatsTabView.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <map>

#include "app/panel/qt/AppsCardView.h"
#include "app/panel/qt/BatteryCardView.h"
#include "app/panel/qt/HistoryCardView.h"
#include "app/panel/qt/PanelView.h"
#include "app/panel/qt/SystemCardView.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"
#include "tests/panel/qt/OpenPanel.h"
#include "tests/support/ScriptedBackend.h"

namespace norvane {
namespace {

// The Stats page of a panel whose tour is over, on a processor with a long name.
class StatsWidgets : public testing::OpenPanel {
protected:
    std::string chip = "Apple M9 <b>Ultra</b> with 64 performance cores and 32 efficiency cores";

    StatsWidgets() {
        tour.finish();
        probe.chip(chip);
    }
    StatsTabView& open(std::vector<std::string> arguments = {}) {
        arguments.emplace_back("--stats");
        return *OpenPanel::open(std::move(arguments)).statsTab();
    }
    // A charge limit of 80 offered in steps of 5, on a backend whose next read is 85.
    std::shared_ptr<testing::ScriptedBackend> limitAt80() {
        auto backend = std::make_shared<testing::ScriptedBackend>();
        backend->reads = {{85, true}};
        probe.backend(backend);
        probe.limitAvailability(availability::Ready{{80, 85, 90, 95}});
        probe.limit(80);
        return backend;
    }
    // The texts of the labels shown under `in` (the kit's widgets carry no meta-object of their own).
    static std::vector<std::string> shownTexts(QWidget* in) {
        std::vector<std::string> out;
        for (auto* widget : in->findChildren<QWidget*>())
            if (auto* label = dynamic_cast<TextLabel*>(widget); label && label->isVisibleTo(in))
                out.push_back(label->text().toStdString());
        return out;
    }
    static bool shows(QWidget* in, const std::string& text) {
        const auto texts = shownTexts(in);
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
};

TEST_F(StatsWidgets, ChoosingASpanAPeriodAndAMetricChangesWhatTheCardsShow) {
    const Date now = bench.queue.now();
    probe.samples(AppModel::demoHistory(now));
    probe.apps({{"", "System", 50, 9}, {"/Applications/Safari.app", "Safari", 50, 3}});
    probe.lastSample(now - 60);
    probe.record({{"/Applications/Xcode.app", "Xcode", 3, 2}});
    probe.drain(9.4);
    StatsTabView& page = open({"--apps-per-hour"});

    HistoryCardView* history = page.historyCard();
    const auto hours = history->chart()->currentLayout().dots;
    ASSERT_FALSE(hours.empty());
    EXPECT_TRUE(shows(history, "−3H"));
    tap(history->spans(), "7D");
    EXPECT_EQ(page.tab().span, Span::week);
    EXPECT_TRUE(shows(history, "−7D"));
    EXPECT_NE(history->chart()->currentLayout().dots, hours);
    EXPECT_EQ(history->chart()->accessibleName(), "Battery level over the last 7 days");

    AppsCardView* apps = page.appsCard();
    EXPECT_TRUE(shows(apps, "≈4.7"));  // half of 9.4 % an hour
    tap(apps->metrics(), "%");
    EXPECT_TRUE(shows(apps, "50%") && !shows(apps, "≈4.7"));
    EXPECT_TRUE(shows(apps, "9 processes"));
    tap(apps->periods(), "TODAY");
    EXPECT_FALSE(apps->metrics()->isVisible());
    EXPECT_TRUE(shows(apps, "Xcode") && !shows(apps, "Safari") && !shows(apps, "9 processes"));
    tap(apps->periods(), "NOW");  // the metric chosen before is still chosen
    EXPECT_EQ(std::pair(apps->metrics()->isVisible(), page.tab().metric), std::pair(true, AppMetric::share));
}

TEST_F(StatsWidgets, ReleasingTheSliderOnANewValueAsksTheModelOnce) {
    const auto backend = limitAt80();
    BatteryCardView* card = open().batteryCard();
    LimitSliderView* slider = card->slider();
    ASSERT_TRUE(slider);
    EXPECT_EQ(std::pair(slider->value(), shows(card, "80%")), std::pair(0, true));
    const auto sets = [&] {
        return std::count_if(backend->calls.begin(), backend->calls.end(),
                             [](const auto& c) { return c.starts_with("set "); });
    };

    // The wheel passing over it scrolls the page and moves nothing.
    QWheelEvent wheel(QPointF(5, 5), slider->mapToGlobal(QPointF(5, 5)), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(slider, &wheel);
    EXPECT_EQ(slider->value(), 0);

    // Dragged to 90 and back: the reading follows, nothing is asked.
    slider->setSliderDown(true);
    slider->setValue(2);
    EXPECT_TRUE(shows(card, "90%"));
    slider->setValue(0);
    slider->setSliderDown(false);
    settle();
    EXPECT_EQ(sets(), 0);

    slider->setSliderDown(true);
    slider->setValue(1);
    slider->setSliderDown(false);
    EXPECT_TRUE(m.limitBusy());
    settle();
    EXPECT_EQ(std::count(backend->calls.begin(), backend->calls.end(), "set 85"), 1);
    EXPECT_EQ(sets(), 1);
    ASSERT_EQ(card->slider(), slider);  // the same slider, moved in place
    EXPECT_EQ(std::pair(m.limit(), slider->value()), std::pair(std::int64_t{85}, 1));
}

TEST_F(StatsWidgets, TheSliderKeepsTheKeyboardAndThePageItsPlaceThroughARequestAndReadsInPercent) {
    const auto backend = limitAt80();
    StatsTabView& page = open();
    LimitSliderView* slider = page.batteryCard()->slider();
    ASSERT_TRUE(slider);
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(slider);
    ASSERT_TRUE(reader && reader->valueInterface());
    const auto read = [&] {
        return std::pair(reader->text(QAccessible::Value).toStdString(),
                         reader->valueInterface()->currentValue().toInt());
    };
    EXPECT_EQ(read(), std::pair(std::string("80 percent"), 80));
    EXPECT_EQ(reader->valueInterface()->maximumValue().toInt(), 100);

    QScrollArea* area = view->pageArea(Panel::Page::stats);
    const int scrolled = area->verticalScrollBar()->value();  // the page's top, the slider in view
    ASSERT_LT(slider->mapTo(area->viewport(), QPoint()).y(), area->viewport()->height());
    slider->setFocus(Qt::TabFocusReason);
    QTest::keyClick(slider, Qt::Key_Right);  // a key commits at once
    EXPECT_EQ(std::pair(m.limitBusy(), bool(reader->state().disabled)), std::pair(true, true));
    QTest::keyClick(slider, Qt::Key_Right);  // taken, and nothing sent, while the request runs
    EXPECT_EQ(std::pair(view->focusWidget(), area->verticalScrollBar()->value()),
              std::pair(static_cast<QWidget*>(slider), scrolled));
    settle();
    EXPECT_EQ(read(), std::pair(std::string("85 percent"), 85));
    backend->reads = {{90, true}};
    QTest::keyClick(slider, Qt::Key_Right);  // the next step without a new click
    settle();
    EXPECT_EQ(std::count(backend->calls.begin(), backend->calls.end(), "set 90"), 1);
    backend->reads = {{80, false}};
    reader->valueInterface()->setCurrentValue(100);  // as an assistive tool sets it
    settle();
    EXPECT_EQ(std::pair(m.limit(), read()), std::pair(std::int64_t{100}, std::pair(std::string("Off"), 100)));
}

// The traffic figures come with the second reading; the cards under the system card keep their
// place then, so a press aimed at the history card's spans lands on them.
TEST_F(StatsWidgets, TheCardsUnderTheSystemCardHoldTheirPlaceWhenTheTrafficComes) {
    StatsTabView& page = open();
    SystemReading reading;
    reading.cpu = 0.2;
    reading.memoryUsed = 8e9;
    reading.memoryTotal = 16e9;
    probe.system(reading);
    settle();
    const auto place = [&] { return page.historyCard()->mapTo(&page, QPoint()).y(); };
    const int before = place();
    reading.diskRead = reading.diskWritten = reading.networkIn = reading.networkOut = 2e6;
    probe.system(reading);
    settle();
    EXPECT_TRUE(shows(page.systemCard(), "R 2.0 MB · W 2.0 MB"));
    EXPECT_EQ(place(), before);
}

TEST_F(StatsWidgets, TheSystemCardReadsOnlyWhileShownTheReportIsSavedAndTheLimitsLayoutsSwitch) {
    probe.panelOpen(true);
    probe.limitAvailability(availability::UnverifiedOS{"27.3"});
    StatsTabView& page = open();
    EXPECT_TRUE(m.system());
    // The processor's long name is cut to what the title leaves, as written, never as markup.
    std::map<std::string, const TextLabel*> header;
    for (auto* widget : page.systemCard()->findChildren<QWidget*>())
        if (auto* label = dynamic_cast<TextLabel*>(widget)) header[label->text().toStdString()] = label;
    ASSERT_TRUE(header.count("System") && header.count(chip));
    EXPECT_GE(header["System"]->width(), header["System"]->sizeHint().width());
    EXPECT_LT(header[chip]->width(), header[chip]->sizeHint().width());
    EXPECT_GT(header[chip]->width(), 100);
    EXPECT_GE(header[chip]->x() - header["System"]->geometry().right() - 1, StatsTab::headerGap);  // apart
    // The next read is due.
    EXPECT_EQ(bench.queue.pendingTimers(), 1u);
    view->hide();
    EXPECT_EQ(std::pair(page.systemCard()->loop().shown(), bench.queue.pendingTimers()),
              std::pair(false, std::size_t{0}));

    // The report goes where the user says and shows in the file viewer; the way to the
    // system's settings; then a note in its place.
    view->show();
    settle();
    for (auto* b : page.batteryCard()->findChildren<QAbstractButton*>())
        if (b->text() == "Save a battery report" || b->text() == "Open Battery settings") b->click();
    EXPECT_TRUE(readFile(report).value_or("").starts_with("<!doctype html>"));
    EXPECT_EQ(bench.texts("workspace/selected.jsonl", "path"), std::vector<std::string>{report.string()});
    EXPECT_EQ(workspace->opened,
              std::vector<std::string>{"x-apple.systempreferences:com.apple.Battery-Settings.extension"});
    probe.limitAvailability(availability::NeedsNewerOS{});
    settle();
    EXPECT_TRUE(shows(page.batteryCard(), "Charge limit needs macOS 26.4 or later."));
    EXPECT_FALSE(shows(page.batteryCard(),
                       "Charge limit is not verified on macOS 27.3 yet. Use System Settings until "
                       "Norvane is updated."));
    EXPECT_FALSE(page.batteryCard()->slider());
}

}  // namespace
}  // namespace norvane
