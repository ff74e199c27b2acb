#include "app/shell/Hotkeys.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/VirtualQueue.h"
#include "tests/shell/FakeHotKeyCenter.h"

namespace norvane {
namespace {

class HotkeysRegistry : public ::testing::Test {
protected:
    std::shared_ptr<FakeHotKeyCenter> center = std::make_shared<FakeHotKeyCenter>();
    VirtualQueue queue;
    Hotkeys hotkeys{center, queue};
    const Hotkey panelKey{49, 0x1100, "⌃⌘Space"};
};

TEST_F(HotkeysRegistry, ReplacesAnActionsKeyAndInstallsTheHandlerOnce) {
    EXPECT_TRUE(hotkeys.set(std::nullopt, HotkeyAction::panel));
    EXPECT_EQ(center->handlerInstalls, 0);  // clearing never installs it
    center->refuses = true;
    EXPECT_FALSE(hotkeys.set(panelKey, HotkeyAction::panel));
    EXPECT_EQ(center->handlerInstalls, 1);  // installed though the key was refused
    center->refuses = false;
    EXPECT_TRUE(hotkeys.set(panelKey, HotkeyAction::panel));
    EXPECT_TRUE(hotkeys.set(Hotkey{96, 0, "F5"}, HotkeyAction::panel));
    EXPECT_EQ(center->handlerInstalls, 1);
    ASSERT_EQ(center->held.size(), 1u);  // the first key went before the second came
    EXPECT_EQ(center->held.begin()->second, (std::pair<std::uint32_t, std::uint32_t>(96, 0)));
    EXPECT_TRUE(hotkeys.set(std::nullopt, HotkeyAction::panel));
    EXPECT_TRUE(center->held.empty());
}

TEST_F(HotkeysRegistry, RefusesWhatNoKeyPressMakesAndKeysTheOtherActionHolds) {
    ASSERT_TRUE(hotkeys.set(panelKey, HotkeyAction::panel));
    const Hotkey refused[] = {
        {0, 0, "A"},                 // a plain letter, system-wide
        {0, 0x0200, "⇧A"},           // shift alone
        {123, 0, "←"},               // an arrow without a modifier
        {0, 0x0100 | 0x4000, "⌘A"},  // a modifier bit no key press sets
        {0, 0x0100, "⌃A"},           // a label that does not match the modifiers
        {49, 0x0100, "⌘Enter"},      // nor the key's name
        {0, 0x0100, "⌘a"},           // characters are upper-cased
        {0, 0x0100, "⌘ A"},          // and trimmed
        {0, 0x0100, "⌘"},            // and never empty
        {70000, 0x0100, "⌘A"},       // no key has this code
        panelKey,                    // the panel's keys
    };
    for (const auto& key : refused) {
        EXPECT_FALSE(hotkeys.set(key, HotkeyAction::awake)) << key.label;
        EXPECT_EQ(center->held.size(), 1u) << key.label;
    }
    EXPECT_TRUE(hotkeys.set(Hotkey{0, 0x0800, "⌥A"}, HotkeyAction::awake));
    EXPECT_TRUE(hotkeys.set(Hotkey{49, 0x1100, "⌃⌘Space"}, HotkeyAction::panel));  // its own keys again
}

TEST_F(HotkeysRegistry, SuspendedItGivesItsKeysBackAndTakesThemAgainOnResuming) {
    const Hotkey awakeKey{0, 0x0900, "⌥⌘A"};
    ASSERT_TRUE(hotkeys.set(panelKey, HotkeyAction::panel));
    hotkeys.suspend(true);
    EXPECT_TRUE(center->held.empty());
    EXPECT_FALSE(hotkeys.set(panelKey, HotkeyAction::awake));  // still the panel's keys
    EXPECT_TRUE(hotkeys.set(awakeKey, HotkeyAction::awake));  // taken at once
    EXPECT_EQ(center->held.size(), 1u);
    hotkeys.suspend(false);
    EXPECT_EQ(center->held.size(), 2u);

    hotkeys.suspend(true);
    center->refuses = true;  // another program took a key meanwhile
    hotkeys.suspend(false);
    EXPECT_TRUE(center->held.empty());
    center->refuses = false;
    EXPECT_TRUE(hotkeys.set(panelKey, HotkeyAction::awake));  // the panel's registration went
}

TEST_F(HotkeysRegistry, APressReachesPerformOnTheMainQueue) {
    std::vector<HotkeyAction> performed;
    hotkeys.perform = [&](HotkeyAction action) { performed.push_back(action); };
    ASSERT_TRUE(hotkeys.set(panelKey, HotkeyAction::panel));
    center->handler(1);
    center->handler(0);
    center->handler(2);  // no action has this position
    EXPECT_TRUE(performed.empty());
    queue.drain();
    EXPECT_EQ(performed, (std::vector{HotkeyAction::panel, HotkeyAction::awake}));
}

}  // namespace
}  // namespace norvane
