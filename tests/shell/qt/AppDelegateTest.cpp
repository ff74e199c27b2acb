#include "app/shell/qt/AppDelegate.h"

#include <gtest/gtest.h>

#include "app/model/DefaultsKeys.h"
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
        UserDefaults(bench.defaultsFile()).set(keys::hotkeys, Value::data(Value::Data(table.begin(), table.end())));
        System system = bench.system();
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
    EXPECT_EQ(m.wantedTab(), Tab::stats);
    EXPECT_FALSE(delegate->panel()->isOpen());
    bench.queue.advance(0.6);
    EXPECT_TRUE(delegate->panel()->isOpen());

    EXPECT_EQ(delegate->answer(handoffRequest(OpenUrls{{"norvane://awake?minutes=30"}})), answerReply(Value()));
    ASSERT_TRUE(m.awake());
    EXPECT_EQ(m.awake()->mode, AwakeMode::timer(30));
    EXPECT_EQ(delegate->answer(handoffRequest(RunIntent{"Get Battery Level", Value()})),
              answerReply(Value::integer(64)));
    EXPECT_EQ(delegate->answer(Value::string("open")), errorReply("The request could not be read."));

    m.startAwake(AwakeMode::agents());
    delegate->applicationWillTerminate();
    EXPECT_FALSE(m.awake());
    EXPECT_FALSE(bench.stored().boolean(keys::awakeAgents));
}

}  // namespace
}  // namespace norvane
