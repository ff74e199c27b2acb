#pragma once
// A panel on the offscreen platform over a model of the test's own, with the shell's links
// of the test (a tour model, a count of the tour's openings and of quits) and links noted
// instead of opened.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>

#include "app/onboarding/Onboarding.h"
#include "app/panel/qt/PanelView.h"
#include "tests/model/ModelProbe.h"
#include "tests/panel/OpenedLinks.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane::testing {

// The save dialog: the user picks this place.
struct ChosenPlace final : SavePanel {
    Path place;
    explicit ChosenPlace(Path p) : place(std::move(p)) {}
    std::optional<Path> ask(const std::string&) override { return place; }
};

class OpenPanel : public ::testing::Test {
protected:
    ModelBench bench;
    // A macOS that the charge limit is known to work on.
    bool verified = (bench.machine.write("System/Library/CoreServices/SystemVersion.plist",
                                         "<plist><dict><key>ProductVersion</key><string>27.2</string></dict></plist>"),
                     true);
    Path report = bench.home / "Battery report.html";  // where a saved report goes
    AppModel& m = bench.start({}, [this](System& s) {
        s.processes = std::make_shared<FakeProcesses>();
        s.savePanel = std::make_shared<ChosenPlace>(report);
    });
    ModelProbe probe{m};
    std::shared_ptr<OpenedLinks> workspace = std::make_shared<OpenedLinks>(bench.machine.machine());
    Onboarding tour{AccessProbe::rehearsal(bench.queue), std::make_shared<UserDefaults>(bench.home / "tour.plist")};
    int toursShown = 0;
    int quits = 0;
    std::unique_ptr<PanelView> view;

    void SetUp() override { ensureQtApplication(); }
    // On a screen whose visible height is `visible` points.
    PanelView& open(std::vector<std::string> arguments = {}, double visible = 900) {
        view = std::make_unique<PanelView>(
            m, bench.queue, PanelContext{workspace, DateFormatter("en_US", "UTC"), LocaleText("en_US"), arguments},
            Backdrop::forSystem(26), false, [visible] { return std::optional(visible); });
        view->setShell({&tour, true, true, [this] { ++toursShown; }, [this] { ++quits; }});
        view->show();
        settle();
        return *view;
    }
    // The widgets' posted events (twice: a layout done in the first round asks its parent's)
    // and deferred deletions; with `settle`, the model's posted work first.
    static void events() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void settle() {
        bench.queue.drain();
        events();
    }
    // The shown button of that text or accessible name under `in`.
    static QAbstractButton* button(QWidget* in, const QString& name) {
        for (auto* b : in->findChildren<QAbstractButton*>())
            if (b->isVisible() && (b->text() == name || b->accessibleName() == name)) return b;
        ADD_FAILURE() << "no button " << name.toStdString();
        return nullptr;
    }
    void tap(QWidget* in, const QString& name) {
        if (auto* b = button(in, name)) b->click();
        settle();
    }
};

}  // namespace norvane::testing
