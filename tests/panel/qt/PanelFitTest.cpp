// Names from outside the program, 70 characters each, wherever a page shows one: no element
// of the Now or the Stats page (or of the settings screen) leaves the panel, and none is pushed out of what holds it.
// The test program runs this on the offscreen screen it is given (a 1280 × 720 screen, and
// 3840 × 2160 at scale factor 2, through the platform's configuration).

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <cstdlib>
#include <filesystem>
#include <typeinfo>

#include "app/analysis/Tip.h"
#include "tests/panel/qt/OpenPanel.h"

namespace norvane {
namespace {

const std::string longName = "Northwind Cartography and Tidal Survey Instruments Professional Editor";  // 70

class LongNames : public testing::OpenPanel {
protected:
    LongNames() {
        tour.finish();
        const std::string path = "/Applications/" + longName + ".app";
        probe.chip(longName);
        probe.battery(onBattery(64));
        probe.forecast(Forecast{200, true, false});
        probe.apps({{path, longName, 40, 3},
                    {"/Applications/" + longName + " 2.app", longName, 20, 1},
                    {"", "System", 10, 9}});
        probe.quitEffect(QuitEffect{longName, bench.queue.now(), 1200});
        probe.holders({{longName, longName}});
        probe.stuck(AppUsage{path, longName, 40, 3});
        m.setLowPowerNote("The energy mode was not changed: " + longName + " " + longName);
        probe.awake(AwakeSession{AwakeMode{AwakeMode::App{path}}, bench.queue.now()});
        probe.awakeState(AwakeStatus{AwakeStatus::Holding{}});
        HeavyApp heavy{path, longName, 0.57, false, true, "Quit " + longName + " when you are done", 30, false};
        TipContext context;
        context.heavy = heavy;
        probe.tip(pickTip(context, {}));
        bench.machine.write("workspace/running.json",
                            R"([{"bundle": ")" + path + R"(", "name": ")" + longName + R"(", "policy": "regular"}])");
    }

    // Every shown widget of the page that is not across the page's viewport, or not inside
    // what holds it: its kind and accessible name.
    static std::vector<std::string> outside(QScrollArea* area) {
        std::vector<std::string> out;
        QWidget* viewport = area->viewport();
        QList<QWidget*> widgets = area->widget()->findChildren<QWidget*>();
        widgets.push_back(area->widget());
        for (QWidget* widget : widgets) {
            if (!widget->isVisible() || widget->width() <= 0) continue;
            const QRect across(widget->mapTo(viewport, QPoint(0, 0)), widget->size());
            const bool inPanel = across.left() >= 0 && across.right() < viewport->width();
            const bool inParent =
                widget == area->widget() || widget->parentWidget()->rect().contains(widget->geometry());
            if (!inPanel || !inParent)
                out.push_back(typeid(*widget).name() + (" " + widget->accessibleName().toStdString()));
        }
        return out;
    }
};

TEST_F(LongNames, NoElementOfAPageLeavesThePanel) {
    // On the screen it was given, named as its file is.
    if (const char* screens = std::getenv("NORVANE_TEST_SCREENS")) {
        const std::string file = std::filesystem::path(screens).filename().string();
        ASSERT_EQ(QGuiApplication::primaryScreen()->name().toStdString(), file.substr(0, file.find_first_of("-.")));
    }
    const double visible = QGuiApplication::primaryScreen()->availableGeometry().height();
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--tip-open"}, {"--awake-apps"}, {"--stats"}, {"--settings"}}) {
        SCOPED_TRACE(arguments.front());
        open(arguments, visible);
        const auto page = arguments.front() == "--stats"      ? Panel::Page::stats
                          : arguments.front() == "--settings" ? Panel::Page::settings
                                                              : Panel::Page::now;
        ASSERT_TRUE(view->pageArea(page));
        EXPECT_EQ(outside(view->pageArea(page)), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace norvane
