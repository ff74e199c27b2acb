#include "app/shell/qt/AppDelegate.h"

#include <gtest/gtest.h>

#include "app/model/DefaultsKeys.h"
#include "app/onboarding/qt/OnboardingView.h"
#include "app/shell/Handoff.h"
#include "tests/model/ModelProbe.h"
#include "tests/shell/FakeHotKeyCenter.h"
#include "tests/shell/qt/FakeStatusItem.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

class Delegate : public ::testing::Test {
protected:
    ModelBench bench;
    std::shared_ptr<FakeHotKeyCenter> center = std::make_shared<FakeHotKeyCenter>();
    std::shared_ptr<Hotkeys> hotkeys = std::make_shared<Hotkeys>(center, bench.queue);
    FakeStatusItem* item = nullptr;
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override {
        testing::ensureQtApplication();
        bench.writeBattery(onBattery(64));
        // Keep-awake on ⌥A, the panel on ⌃⌘Space; and one entry no key press makes.
        const std::string table =
            R"(["awake",{"keyCode":0,"modifiers":2048,"label":"⌥A"},"panel",{"keyCode":49,"modifiers":4352,"label":"⌃⌘Space"}])";
        UserDefaults defaults(bench.defaultsFile());
        defaults.set(keys::hotkeys, Value::data(Value::Data(table.begin(), table.end())));
        defaults.set(onboarding_keys::shown, Value::boolean(true));  // the tour is not due
        make({});
    }
    void make(std::vector<std::string> arguments) {
        delegate.reset();
        System system = bench.system(std::move(arguments));
        system.hotkeys = hotkeys;
        auto fake = std::make_unique<FakeStatusItem>();
        item = fake.get();
        delegate = std::make_unique<AppDelegate>(std::move(system), bench.queue, hotkeys, std::move(fake), false);
    }
    void press(HotkeyAction action) {
        center->handler(action == HotkeyAction::awake ? 0 : 1);
        bench.queue.drain();
    }
};

TEST_F(Delegate, LaunchStartsTheModelShowsTheItemAndConnectsTheSavedHotKeys) {
    EXPECT_EQ(delegate->answer(handoffRequest(RunIntent{"Get Battery Level", Value()})),
              errorReply("Norvane is still starting."));
    delegate->applicationDidFinishLaunching();
    AppModel& m = *delegate->model();
    EXPECT_EQ(m.battery().percent, 64);  // the first tick ran
    ASSERT_FALSE(item->looks.empty());
    EXPECT_EQ(item->looks.back().percent, 64);
    EXPECT_EQ(center->held.size(), 2u);
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);  // shown once before, and not asked for

    press(HotkeyAction::awake);
    EXPECT_TRUE(m.awake());
    press(HotkeyAction::awake);
    EXPECT_FALSE(m.awake());

    StatusPanel& panel = *delegate->panel();
    press(HotkeyAction::panel);
    EXPECT_TRUE(panel.isOpen());
    press(HotkeyAction::panel);
    EXPECT_FALSE(panel.isOpen());
}

TEST_F(Delegate, UrlsAndHandOffsReachTheModelAndQuittingEndsKeepAwake) {
    delegate->applicationDidFinishLaunching();
    AppModel& m = *delegate->model();
    delegate->application({"norvane://open/stats"});
    bench.queue.advance(0);  // carried out on the queue's next turn
    EXPECT_EQ(m.wantedTab(), Tab::stats);
    EXPECT_FALSE(delegate->panel()->isOpen());
    bench.queue.advance(0.6);
    EXPECT_TRUE(delegate->panel()->isOpen());

    EXPECT_EQ(delegate->answer(handoffRequest(OpenUrls{{"norvane://awake?minutes=30"}})), answerReply(Value()));
    bench.queue.advance(0);
    ASSERT_TRUE(m.awake());
    EXPECT_EQ(m.awake()->mode, AwakeMode::timer(30));
    // A hand-off opens a few URLs: the 16 first of 17.
    std::vector<std::string> many;
    for (int minutes = 1; minutes <= 17; ++minutes) many.push_back("norvane://awake?minutes=" + std::to_string(minutes));
    EXPECT_EQ(delegate->answer(handoffRequest(OpenUrls{many})),
              errorReply("Norvane opens at most 16 URLs at a time, so the last one was not opened."));
    bench.queue.advance(0);
    EXPECT_EQ(m.awake()->mode, AwakeMode::timer(16));
    EXPECT_EQ(delegate->answer(handoffRequest(RunIntent{"Get Battery Level", Value()})),
              answerReply(Value::integer(64)));
    EXPECT_EQ(delegate->answer(Value::string("open")), errorReply("The request could not be read."));

    m.startAwake(AwakeMode::agents());
    delegate->applicationWillTerminate();
    EXPECT_FALSE(m.awake());
    EXPECT_FALSE(bench.stored().boolean(keys::awakeAgents));
}

// The tour's view in the delegate's window, while one is open.
OnboardingView* tourView(const AppDelegate& delegate) {
    QWidget* window = delegate.onboardingWindow();
    if (!window) return nullptr;
    for (QWidget* child : window->findChildren<QWidget*>())
        if (auto* view = dynamic_cast<OnboardingView*>(child)) return view;
    return nullptr;
}

void pressInTour(const AppDelegate& delegate, const std::string& title) {
    if (OnboardingView* view = tourView(delegate))
        for (QAbstractButton* button : view->footerButtons())
            if (button->text().toStdString() == title) return button->click();
    ADD_FAILURE() << "no button " << title;
}

// Clicks the shown button of that title in the open panel, after the panel's posted work.
void pressInPanel(AppDelegate& delegate, const QString& title) {
    QCoreApplication::sendPostedEvents();
    for (QAbstractButton* button : delegate.panel()->view().findChildren<QAbstractButton*>())
        if (button->isVisible() && (button->text() == title || button->accessibleName() == title)) return button->click();
    ADD_FAILURE() << "no button " << title.toStdString();
}

TEST_F(Delegate, TheTourOpensWhenAskedClosesKeepingItsStepAndFinishesIntoThePanel) {
    bench.machine.write("Library/Preferences/com.apple.universalaccess.plist",
                        "<plist><dict><key>reduceMotion</key><true/></dict></plist>");
    make({"--onboarding", "--onboarding-rehearsal"});
    delegate->applicationDidFinishLaunching();
    ASSERT_NE(tourView(*delegate), nullptr);
    EXPECT_TRUE(delegate->onboardingWindow()->isVisible());
    EXPECT_EQ(delegate->onboardingWindow()->size(), QSize(560, 664));
    EXPECT_TRUE(bench.stored().boolean(onboarding_keys::shown));

    for (const char* title : {"Start", "Continue", "Continue", "Allow notifications", "Open Notification settings"})
        pressInTour(*delegate, title);
    EXPECT_EQ(tourView(*delegate)->page()->pos(), QPoint(0, 0));  // reduce motion: a cross-fade
    tourView(*delegate)->closeButton()->click();
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);
    bench.queue.drain();
    EXPECT_EQ(bench.stored().string(onboarding_keys::step), "notifications");

    delegate->panel()->show();
    bench.queue.drain();
    pressInPanel(*delegate, "Continue the tour");  // the notice of a tour left: the same step
    ASSERT_NE(tourView(*delegate), nullptr);
    EXPECT_EQ(tourView(*delegate)->page()->step(), OnboardingStep::notifications);
    for (const char* title : {"Not now", "Add the helper", "Open Login Items", "Not now"})
        pressInTour(*delegate, title);
    EXPECT_EQ(bench.texts("workspace/opened-urls.jsonl", "url"),
              (std::vector<std::string>{"x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=",
                                        "x-apple.systempreferences:com.apple.LoginItems-Settings.extension"}));

    pressInTour(*delegate, "Open Norvane");
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);
    EXPECT_TRUE(delegate->panel()->isOpen());
    EXPECT_TRUE(bench.stored().boolean(onboarding_keys::done));
    pressInPanel(*delegate, "Settings");
    pressInPanel(*delegate, "Open");  // "Welcome tour and permissions": a finished tour starts over
    ASSERT_NE(tourView(*delegate), nullptr);
    EXPECT_EQ(tourView(*delegate)->page()->step(), OnboardingStep::welcome);
}

}  // namespace
}  // namespace norvane
