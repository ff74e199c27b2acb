#include <gtest/gtest.h>

#include <QAbstractButton>

#include "app/visuals/qt/AwakeCardView.h"
#include "tests/model/ModelProbe.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

TEST(AwakeCardView, EveryTapReachesTheModelAndOpensOrClosesItsList) {
    testing::ensureQtApplication();
    ModelBench bench;
    bench.machine.write("workspace/running.json", R"([{"bundle": "/Applications/Slack.app", "name": "Slack"},
                                                     {"bundle": "/Applications/Firefox.app", "name": "Firefox"}])");
    AppModel& m = bench.start({"--agents-all"}, [](System& s) { s.processes = std::make_shared<FakeProcesses>(); });
    bench.probe().battery(plugged(80, false));
    const MachineWorkspace workspace(bench.machine.machine());
    AwakeCardView view(m, bench.queue, workspace, AwakeCard::make({0.2, 0.8, 0.5, 1}, {}, bench.queue.now()),
                       DateFormatter("en_US", "UTC"), LocaleText("en_US"));
    std::vector<bool> listOpen;
    view.setListOpenHandler([&](bool open) { listOpen.push_back(open); });
    view.resize(340, 400);
    view.show();
    EXPECT_EQ(listOpen, std::vector<bool>{false});

    // The shown button named so (by its text or its accessible name): the parts built by
    // earlier taps show, and those they replaced are gone, once the posted events have run.
    const auto tap = [&](const QString& name) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (auto* button : view.findChildren<QAbstractButton*>())
            if (button->isVisible() && (button->text() == name || button->accessibleName() == name)) {
                button->click();
                return;
            }
        ADD_FAILURE() << "no button " << name.toStdString();
    };
    const auto mode = [&] { return m.awake() ? std::optional(m.awake()->mode) : std::nullopt; };

    tap("Stay awake");
    EXPECT_EQ(mode(), AwakeMode::untilStopped());
    tap("STAY AWAKE");  // the lid row shows while on
    EXPECT_TRUE(m.awakeLid());

    tap("Timer");
    tap("30 minutes");
    EXPECT_EQ(mode(), AwakeMode::timer(30));
    tap("30 min");  // the chip now names the timer
    tap("Half an hour later");
    tap("Start");  // until 11:00, from 10:00
    EXPECT_EQ(mode(), AwakeMode::timer(60));

    tap("App");
    tap("Slack");
    EXPECT_EQ(mode(), AwakeMode::app("/Applications/Slack.app"));

    tap("Agents");
    EXPECT_EQ(mode(), AwakeMode::agents());
    tap("Codex, not running");
    EXPECT_EQ(m.agentsIgnored(), std::set<std::string>{"Codex"});
    tap("Codex, ignored");  // the list stays open for the next tap
    EXPECT_TRUE(m.agentsIgnored().empty());
    EXPECT_EQ(view.card().open, AwakeCard::Choice::agents);

    tap("Stay awake");
    EXPECT_FALSE(m.awake());
    EXPECT_EQ(listOpen, (std::vector<bool>{false, true, false, true, false, true, false, true}));
}

}  // namespace
}  // namespace norvane
