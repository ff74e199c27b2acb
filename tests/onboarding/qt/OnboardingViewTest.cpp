#include "app/onboarding/qt/OnboardingView.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFocusFrame>
#include <QtTest/QTest>
#include <QCoreApplication>
#include <QKeyEvent>

#include "app/onboarding/qt/Illustrations.h"
#include "app/visuals/qt/DotView.h"
#include "tests/model/ModelProbe.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

class TourView : public ::testing::Test {
protected:
    ModelBench bench;
    AppModel& m = bench.start();
    std::vector<std::string> opened;  // what the window asked of the shell, in order
    int probes = 0;                   // questions about notifications
    std::unique_ptr<Onboarding> tour;
    std::unique_ptr<OnboardingView> view;

    void SetUp() override { testing::ensureQtApplication(); }
    void make(bool still = false, bool show = true) {
        AccessProbe probe = AccessProbe::rehearsal(bench.queue);
        probe.notifications = [this, ask = probe.notifications](AccessProbe::Answer answer) {
            ++probes;
            ask(std::move(answer));
        };
        tour = std::make_unique<Onboarding>(probe, std::make_shared<UserDefaults>(bench.defaultsFile()));
        TourSetup setup;
        setup.still = still;
        setup.inBundle = true;
        setup.format = DateFormatter("en_US", "UTC");
        const auto note = [this](std::string what) { return [this, what] { opened.push_back(what); }; };
        setup.doors = {note("close"), note("finish"), [this](const std::string& url) { opened.push_back(url); },
                       note("login items"), "settings://notifications"};
        setup.relaunch = note("relaunch");
        view = std::make_unique<OnboardingView>(m, *tour, bench.queue, std::move(setup));
        if (show) view->show();
    }
    void settle() {
        bench.run(1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The footer as read: "~" marks a disabled button.
    std::vector<std::string> footer() const {
        std::vector<std::string> out;
        for (QAbstractButton* button : view->footerButtons())
            out.push_back((button->isEnabled() ? "" : "~") + button->text().toStdString());
        return out;
    }
    void press(const std::string& title) {
        for (QAbstractButton* button : view->footerButtons())
            if (button->text().toStdString() == title) return button->click();
        ADD_FAILURE() << "no button " << title;
    }
    void key(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &event);
    }
    std::string status() const { return view->page()->accessCard()->shown().status.text; }
};

using Strings = std::vector<std::string>;

TEST_F(TourView, TheRehearsalWalksFromWelcomeToFinishWithTheFooterButtons) {
    make();
    EXPECT_EQ(footer(), Strings{"Start"});
    press("Start");
    EXPECT_TRUE(view->moving());
    EXPECT_EQ(view->pageFrame()->pos(), QPoint(36, 0));  // forward: in from the right
    settle();
    EXPECT_EQ(std::tuple(view->page()->step(), view->pageFrame()->pos(), view->moving()),
              std::tuple(OnboardingStep::know, QPoint(0, 0), false));
    press("Continue");
    press("Continue");
    settle();
    EXPECT_EQ(view->page()->step(), OnboardingStep::notifications);
    EXPECT_EQ(footer(), (Strings{"Back", "Not now", "Allow notifications"}));
    EXPECT_EQ(status(), "Not set up");

    // Asked: macOS waits for the user; the card shows the steps and the restart link.
    press("Allow notifications");
    EXPECT_EQ(footer(), (Strings{"Back", "Not now", "Open Notification settings"}));
    EXPECT_EQ(status(), "Waiting for you");
    EXPECT_TRUE(view->page()->accessCard()->restartLink()->isVisible());
    view->page()->accessCard()->restartLink()->click();
    press("Open Notification settings");
    bench.run(7.5);  // a refresh more than 6 s after asking finds it granted
    EXPECT_EQ(footer(), (Strings{"Back", "Continue"}));
    EXPECT_EQ(status(), "Confirmed");
    EXPECT_FALSE(view->page()->accessCard()->restartLink()->isVisible());

    press("Continue");
    settle();
    press("Not now");
    settle();
    EXPECT_EQ(view->page()->step(), OnboardingStep::finish);
    EXPECT_EQ(view->progress().dots[4].color, waitingAmber);  // passed without the helper
    press("Back");
    EXPECT_EQ(view->pageFrame()->pos(), QPoint(-36, 0));  // back: in from the left
    settle();
    press("Add the helper");
    key(Qt::Key_Return);  // the main button: "Open Login Items"
    bench.run(7.5);
    key(Qt::Key_Enter);  // now "Continue"
    settle();
    EXPECT_EQ(footer(), (Strings{"Back", "Open Norvane"}));
    EXPECT_EQ(view->progress().dots[4].color, grantedGreen);

    // The login switch shows what the model reports back.
    ASSERT_NE(view->page()->loginSwitch(), nullptr);
    view->page()->loginSwitch()->click();
    EXPECT_EQ(std::tuple(m.openAtLogin(), view->page()->loginSwitch()->isOn()), std::tuple(true, true));

    press("Open Norvane");
    key(Qt::Key_Escape);
    EXPECT_EQ(opened, (Strings{"relaunch", "settings://notifications", "login items", "finish", "close"}));
    EXPECT_EQ(tour->step(), OnboardingStep::finish);
}

TEST_F(TourView, ChecksBeforeItIsShownAndKeepsNoTimerOnceHidden) {
    UserDefaults(bench.defaultsFile()).set(onboarding_keys::step, Value::string("notifications"));
    make(false, false);
    EXPECT_EQ(footer(), (Strings{"Back", "~Checking"}));
    key(Qt::Key_Return);  // no main button while checking
    EXPECT_EQ(std::tuple(probes, opened.empty()), std::tuple(0, true));

    view->show();
    EXPECT_EQ(footer(), (Strings{"Back", "Not now", "Allow notifications"}));
    bench.run(3.5);
    EXPECT_EQ(probes, 4);  // at once, then a second after each answer
    EXPECT_GT(bench.queue.pendingTimers(), 1u);  // the loop and the turning mark
    view->hide();
    EXPECT_EQ(bench.queue.pendingTimers(), 0u);
    bench.run(5);
    EXPECT_EQ(probes, 4);
}

TEST_F(TourView, AButtonAKeyMovedTheFocusToIsMarked) {
    make();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    view->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Tab);
    auto* ring = view->findChild<QFocusFrame*>();
    ASSERT_TRUE(ring && QApplication::focusWidget() != view.get());
    EXPECT_EQ(std::pair(ring->isVisible(), ring->widget()), std::pair(true, QApplication::focusWidget()));
}

TEST_F(TourView, WithReduceMotionPagesCrossFadeAndPicturesStandStill) {
    make(true);
    auto* logo = [&]() -> LogoMarkView* {
        for (QWidget* child : view->findChildren<QWidget*>())
            if (auto* mark = dynamic_cast<LogoMarkView*>(child)) return mark;
        return nullptr;
    }();
    ASSERT_NE(logo, nullptr);
    // Four columns of five lit, whatever the clock says: white at 95 % at each dot's centre.
    const QImage image = logo->grab().toImage();
    for (const Dot& dot : LogoMark{true, WelcomeHero::markPitch}.layout(0).dots) {
        const QColor pixel = image.pixelColor(static_cast<int>(dot.x), static_cast<int>(dot.y));
        EXPECT_NEAR(pixel.alphaF(), dot.color.opacity, 0.02) << dot.x << "," << dot.y;
    }
    press("Start");
    EXPECT_TRUE(view->moving());
    EXPECT_EQ(view->pageFrame()->pos(), QPoint(0, 0));  // fading in where it stands
}

TEST_F(TourView, AShownPageTakesATintDecodedLaterInPlace) {
    make();
    TourPageView* page = view->page();
    const auto dotsIn = [&](Color color) {  // the welcome tiles' figures are in the tint
        int count = 0;
        for (QWidget* widget : page->findChildren<QWidget*>())
            if (const auto* dots = dynamic_cast<DotView*>(widget))
                for (const Dot& dot : dots->currentLayout().dots) count += dot.color == color;
        return count;
    };
    const Color before = m.tint(), decoded{0.25, 0.5, 1, 1};
    const int figures = dotsIn(before);
    ASSERT_GT(figures, 0);
    ModelProbe(m).tint(decoded);
    EXPECT_EQ(view->page(), page);
    EXPECT_EQ(std::pair(dotsIn(decoded), dotsIn(before)), std::pair(figures, 0));
}

TEST_F(TourView, APageChangeNeverDrawsOneFadeInsideAnother) {
    // Qt cannot draw a graphics effect inside another. The banner of the notification page
    // fades every 2.6 s (first 2.6 s after the page shows); the page fades as it goes.
    const auto nested = [&] {
        int count = 0;
        for (QWidget* widget : view->findChildren<QWidget*>())
            count += widget->graphicsEffect() && insideEffect(*widget);
        return count;
    };
    for (const double pressedAt : {2.65, 2.55}) {  // while the banner fades, or just before
        make();
        tour->go(OnboardingStep::notifications);
        settle();
        bench.run(pressedAt - 1);
        press("Not now");
        for (int frame = 0; frame < 12; ++frame) {
            bench.run(0.05);
            EXPECT_EQ(nested(), 0) << pressedAt << " " << frame;
        }
        settle();
        EXPECT_EQ(view->page()->step(), OnboardingStep::helper);
    }
}

}  // namespace
}  // namespace norvane
