#include "app/panel/qt/PanelView.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollArea>

#include "app/panel/qt/HeadlineView.h"
#include "app/panel/qt/RingRowView.h"
#include "app/panel/qt/SwitchButton.h"
#include "app/panel/qt/TipCardView.h"
#include "app/panel/qt/TopAppsView.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"
#include "tests/model/ModelProbe.h"
#include "tests/support/ScriptedBackend.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

using Page = Panel::Page;

// The machine's workspace, with the links it is asked to open recorded instead of opened.
struct LinkRecorder final : Workspace {
    explicit LinkRecorder(Machine machine) : real(std::move(machine)) {}
    MachineWorkspace real;
    mutable std::vector<std::string> opened;
    std::optional<Path> desktopPicture() const override { return real.desktopPicture(); }
    std::optional<Color> accentColor() const override { return real.accentColor(); }
    std::optional<Path> iconFile(std::string_view path) const override { return real.iconFile(path); }
    std::optional<Path> urlForApplication(std::string_view id) const override { return real.urlForApplication(id); }
    std::vector<RunningApplication> runningApplications() const override { return real.runningApplications(); }
    std::optional<RunningApplication> frontmostApplication() const override { return real.frontmostApplication(); }
    bool terminate(std::string_view bundle) const override { return real.terminate(bundle); }
    bool activate(std::string_view bundle) const override { return real.activate(bundle); }
    bool open(std::string_view url) const override { return opened.emplace_back(url), true; }
    bool selectFile(const Path& file) const override { return real.selectFile(file); }
};

class PanelWidgets : public ::testing::Test {
protected:
    ModelBench bench;
    // A macOS that the charge limit is known to work on.
    bool verified = (bench.machine.write("System/Library/CoreServices/SystemVersion.plist",
                                         "<plist><dict><key>ProductVersion</key><string>27.2</string></dict></plist>"),
                     true);
    AppModel& m = bench.start({}, [](System& s) { s.processes = std::make_shared<FakeProcesses>(); });
    ModelProbe probe{m};
    std::shared_ptr<LinkRecorder> workspace = std::make_shared<LinkRecorder>(bench.machine.machine());
    std::unique_ptr<PanelView> view;

    void SetUp() override { testing::ensureQtApplication(); }
    PanelView& open(std::vector<std::string> arguments = {}) {
        view = std::make_unique<PanelView>(
            m, bench.queue, PanelContext{workspace, DateFormatter("en_US", "UTC"), LocaleText("en_US"), arguments},
            Backdrop::forSystem(26), false, [] { return std::optional(900.0); });
        view->show();
        settle();
        return *view;
    }
    // The widgets' posted events and deferred deletions have run; with `settle`, the
    // model's posted work first.
    static void events() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void settle() {
        bench.queue.drain();
        events();
    }
    // The shown button of that text or accessible name under `in`.
    QAbstractButton* button(QWidget* in, const QString& name) {
        for (auto* b : in->findChildren<QAbstractButton*>())
            if (b->isVisible() && (b->text() == name || b->accessibleName() == name)) return b;
        ADD_FAILURE() << "no button " << name.toStdString();
        return nullptr;
    }
    void tap(QWidget* in, const QString& name) {
        if (auto* b = button(in, name)) b->click();
        settle();
    }
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

TEST_F(PanelWidgets, APressOnAQuitButtonSurvivesTheTickAndTheTipLinksOpenThroughTheWorkspace) {
    bench.machine.write("workspace/running.json", R"([{"bundle": "/Applications/Slack.app", "name": "Slack"}])");
    probe.apps({{"/Applications/Slack.app", "Slack", 40, 3}, {"", "System", 60, 9}});
    Tip tip;
    tip.id = "t";
    tip.line = "Quit Slack";
    tip.sources = {{"Guide", "https://example.com/guide"}, {"Local", "file:///etc/passwd"}};
    probe.tip(tip);
    NowTabView* page = open({"--tip-open"}).nowTab();

    PillButton* quit = page->topApps()->row("/Applications/Slack.app")->quitButton();
    const QPointF centre = QRectF(quit->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, quit->mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(quit, &press);
    probe.battery(onBattery(40));  // a tick's new reading and forecast
    probe.forecast(Forecast{90, true, false});
    settle();
    QMouseEvent release(QEvent::MouseButtonRelease, centre, quit->mapToGlobal(centre), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(quit, &release);
    EXPECT_EQ(m.quitting(), std::set<std::string>{"/Applications/Slack.app"});

    ASSERT_EQ(page->tipCard()->links().size(), 1u);  // the file is no web link
    page->tipCard()->links()[0]->click();
    EXPECT_EQ(workspace->opened, std::vector<std::string>{"https://example.com/guide"});
    tap(page->tipCard(), "Quit Slack");  // the summary closes the details
    EXPECT_FALSE(page->tab().tipOpen);
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

}  // namespace
}  // namespace norvane
