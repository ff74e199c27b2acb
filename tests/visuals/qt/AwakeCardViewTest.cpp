#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMouseEvent>
#include <QPointer>

#include "app/visuals/qt/AwakeCardView.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/TextLabel.h"
#include "tests/model/ModelProbe.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

const Color accent{0.2, 0.8, 0.5, 1};

// The card on a model of its own, 340 points wide, with the apps and the list the test names.
struct Card {
    ModelBench bench;
    AppModel& m;
    ModelProbe probe{m};
    MachineWorkspace workspace{bench.machine.machine()};
    std::unique_ptr<AwakeCardView> view;

    explicit Card(const std::string& apps = "[]")
        : m((testing::ensureQtApplication(), bench.machine.write("workspace/running.json", apps),
             bench.start({"--agents-all"}, [](System& s) { s.processes = std::make_shared<FakeProcesses>(); }))) {}
    void show(std::vector<std::string> arguments, std::function<void(bool)> listOpen = {}) {
        view = std::make_unique<AwakeCardView>(m, bench.queue, workspace,
                                               AwakeCard::make(accent, arguments, bench.queue.now()),
                                               DateFormatter("en_US", "UTC"), LocaleText("en_US"));
        if (listOpen) view->setListOpenHandler(std::move(listOpen));
        view->resize(340, view->heightForWidth(340));
        view->show();
        settle();
    }
    // Runs posted events and the deletions they leave, and lays the card out for its width.
    void settle() const {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        view->resize(340, view->heightForWidth(340));
        QCoreApplication::sendPostedEvents();
    }
    // The shown button named so (by its text or its accessible name), once the parts built by
    // earlier taps show and those they replaced are gone.
    QAbstractButton* button(const QString& name) const {
        for (auto* button : view->findChildren<QAbstractButton*>())
            if (button->isVisible() && (button->text() == name || button->accessibleName() == name)) return button;
        ADD_FAILURE() << "no button " << name.toStdString();
        return nullptr;
    }
};

// The labels inside a widget. The kit's widgets carry no meta-object of their own, so
// they are told apart by their C++ type.
std::vector<TextLabel*> labels(const QWidget& widget) {
    std::vector<TextLabel*> out;
    for (QWidget* child : widget.findChildren<QWidget*>())
        if (auto* label = dynamic_cast<TextLabel*>(child)) out.push_back(label);
    return out;
}

// The texts of the shown labels inside a widget.
std::vector<std::string> texts(const QWidget& widget) {
    std::vector<std::string> out;
    for (auto* label : labels(widget))
        if (label->isVisible()) out.push_back(label->text().toStdString());
    return out;
}

void mouse(QWidget* widget, QEvent::Type type) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

TEST(AwakeCardView, EveryTapReachesTheModelAndOpensOrClosesItsList) {
    Card card(R"([{"bundle": "/Applications/Slack.app", "name": "Slack"},
                  {"bundle": "/Applications/Firefox.app", "name": "Firefox"}])");
    AppModel& m = card.m;
    card.probe.battery(plugged(80, false));
    std::vector<bool> listOpen;
    card.show({}, [&](bool open) { listOpen.push_back(open); });
    EXPECT_EQ(listOpen, std::vector<bool>{false});
    const auto tap = [&](const QString& name) {
        card.settle();
        if (auto* button = card.button(name)) button->click();
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
    EXPECT_EQ(card.view->card().open, AwakeCard::Choice::agents);

    tap("Stay awake");
    EXPECT_FALSE(m.awake());
    EXPECT_EQ(listOpen, (std::vector<bool>{false, true, false, true, false, true, false, true}));
}

TEST(AwakeCardView, AModelChangeUpdatesThePartsInPlaceAndAPressOutlivesIt) {
    Card card;
    card.m.startAwake(AwakeMode::untilStopped());
    card.probe.awakeState({AwakeStatus::Holding{}});
    card.probe.battery(onBattery(80));
    card.probe.agentsInstalled({"Codex"});
    card.show({"--awake-agents"});
    auto& view = *card.view;

    struct Step {
        const char* what;
        std::function<void()> change;
        int made;  // parts the change adds
    };
    const Step steps[] = {
        {"a battery reading", [&] { card.probe.battery(onBattery(79)); }, 0},
        {"a drain", [&] { card.probe.drain(8); }, 0},
        {"an agent starts", [&] { card.probe.agentsRunning({"Codex"}); }, 0},
        {"the panel opens", [&] { card.probe.panelOpen(true); }, 0},
        {"another app holds",
         [&] {
             card.probe.holders({{"Music", "playing audio"}});
         },
         1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        std::vector<QPointer<QWidget>> before;
        for (QWidget* widget : view.findChildren<QWidget*>())
            before.emplace_back(widget);
        const std::size_t shown = labels(view).size();
        step.change();
        card.settle();
        // Every widget is still there (a removed one is deleted by now), and only what the
        // change adds is new.
        for (const auto& widget : before)
            EXPECT_TRUE(widget);
        EXPECT_EQ(labels(view).size(), shown + step.made);
    }
    EXPECT_THAT(texts(view), ::testing::Contains("Lets the Mac sleep at 20% battery, in about 7h 22m."));  // in place

    // A chip pressed while the battery changes still gets its release.
    QAbstractButton* timer = card.button("Timer");
    ASSERT_TRUE(timer);
    mouse(timer, QEvent::MouseButtonPress);
    card.probe.battery(onBattery(70));
    card.probe.holders({});
    card.settle();
    ASSERT_TRUE(card.button("Timer") == timer);
    EXPECT_TRUE(timer->isDown());
    mouse(timer, QEvent::MouseButtonRelease);
    EXPECT_EQ(view.card().open, AwakeCard::Choice::timer);
}

TEST(AwakeCardView, ATimersEndShowsTheMomentItRunsOut) {
    Card card;
    card.bench.queue.advance(2.5);  // halfway between two ticks of the model
    card.m.startAwake(AwakeMode::timer(1));
    card.probe.panelOpen(true);
    card.show({});
    ASSERT_TRUE(card.button("Stay awake")->isChecked());
    card.bench.queue.advance(60);
    card.settle();
    EXPECT_FALSE(card.button("Stay awake")->isChecked());
    EXPECT_THAT(texts(*card.view), ::testing::Contains("Ended: the timer ran out."));
}

TEST(AwakeCardView, LongAndMarkedUpNamesStayOnTheirRowsAsWritten) {
    const std::string longName = "Microsoft Remote Desktop Beta Preview Edition";
    const std::vector<std::string> names{longName, "<img src=\"/etc/hostname\">", "<h1>x</h1>"};
    Card card(R"([{"bundle": "/Applications/Remote.app", "name": "Microsoft Remote Desktop Beta Preview Edition"},
                  {"bundle": "/Applications/Image.app", "name": "<img src=\"/etc/hostname\">"},
                  {"bundle": "/Applications/Heading.app", "name": "<h1>x</h1>"}])");
    card.m.startAwake(AwakeMode::app("/Applications/Remote.app"));
    card.probe.holders({{"<b>Music</b>", std::nullopt}});
    card.show({"--awake-apps"});
    const QImage image = testing::rendered(*card.view);
    const QRect inside = card.view->rect().adjusted(14, 14, -14, -14);  // within the card's padding

    for (const auto& name : names) {
        SCOPED_TRACE(name);
        QAbstractButton* row = card.button(QString::fromStdString(name));
        ASSERT_TRUE(row);
        const QRect box(row->mapTo(card.view.get(), QPoint()), row->size());
        EXPECT_TRUE(inside.contains(box)) << box.x() << "," << box.width();
        // The selection dot sits inside the row's right end: the accent for the app waited for.
        const QColor dot = image.pixelColor(box.right() - 8 - 4, box.center().y());
        EXPECT_EQ(dot.green() > 150, name == longName) << dot.name().toStdString();

        ASSERT_FALSE(labels(*row).empty());
        TextLabel* title = labels(*row).front();
        EXPECT_EQ(title->text().toStdString(), name);
        // Drawn as written: the ink spans the text's own width (markup would draw "x" alone,
        // or an image), or the whole label where the name is cut to it.
        const int ink = testing::inkWidth(title->grab().toImage(), 100);
        const double written = std::min(TextFace(title->style()).advance(title->text()), double(title->width()));
        EXPECT_GT(ink, 0.9 * written);
        EXPECT_LE(ink, written + 1);
    }
    EXPECT_THAT(texts(*card.view), ::testing::Contains("Kept awake by <b>Music</b>"));
}

}  // namespace
}  // namespace norvane
