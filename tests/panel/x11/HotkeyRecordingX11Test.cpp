// The shortcut row on a real X display of the test's own: a shortcut typed with xdotool
// into a recording row becomes the model's hot key, grabbed on the display, and pressing it
// then does its action.

#include <gtest/gtest.h>

#include <QApplication>
#include <QtTest/QTest>

#include "app/panel/qt/HotkeyRow.h"
#include "app/panel/qt/PanelView.h"
#include "app/panel/qt/SettingsView.h"
#include "app/shell/Hotkeys.h"
#include "app/visuals/qt/PillButton.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/x11/X11HotKeyCenter.h"
#include "tests/model/ModelProbe.h"
#include "tests/support/Xvfb.h"

namespace norvane {
namespace {

// One display for the program, ended when it ends, and one application on Qt's X11
// platform.
const std::optional<std::string>& display() {
    static testing::Xvfb xvfb;
    static const bool started = [] {
        if (!xvfb.display()) return false;
        ::setenv("DISPLAY", xvfb.display()->c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::unsetenv("WAYLAND_DISPLAY");
        static int argc = 1;
        static char name[] = "panel_x11_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);  // lives until the program ends
        return true;
    }();
    (void)started;
    return xvfb.display();
}

TEST(ShortcutOnTheDisplay, TypedIntoARecordingRowItIsRegisteredAndPressingItActs) {
    if (!display()) GTEST_SKIP() << "Xvfb is not installed or did not start";
    if (!testing::xdotool(*display(), {"key", "shift"})) GTEST_SKIP() << "xdotool is not installed";
    QtMainQueue queue;
    auto hotkeys = std::make_shared<Hotkeys>(std::make_shared<X11HotKeyCenter>(display()), queue);
    ModelBench bench;
    System system = bench.system();
    system.hotkeys = hotkeys;
    system.processes = std::make_shared<FakeProcesses>();
    AppModel m(std::move(system), queue);
    // A press does what the application's delegate does with it.
    std::vector<HotkeyAction> performed;
    hotkeys->perform = [&](HotkeyAction action) {
        performed.push_back(action);
        if (action == HotkeyAction::awake) m.toggleAwake();
    };

    PanelView panel(m, queue,
                    PanelContext{std::make_shared<MachineWorkspace>(bench.machine.machine()),
                                 DateFormatter("en_US", "UTC"), LocaleText("en_US"), {"--settings"}},
                    Backdrop::forSystem(26), false, [] { return std::optional(900.0); });
    panel.show();
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel, 10'000));
    HotkeyRow* row = panel.settingsView()->hotkeyRow(HotkeyAction::awake);
    ASSERT_TRUE(row);
    row->mainButton()->click();
    ASSERT_TRUE(row->recording().recording);

    ASSERT_TRUE(testing::xdotool(*display(), {"key", "ctrl+alt+k"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.hotkeys().contains(HotkeyAction::awake); }, 10'000));
    EXPECT_EQ(m.hotkeys().at(HotkeyAction::awake), (Hotkey{40, 0x1800, "⌃⌥K"}));
    EXPECT_FALSE(row->recording().recording);
    EXPECT_TRUE(QTest::qWaitFor([&] { return row->mainButton()->text() == "⌃⌥K"; }, 5'000));

    ASSERT_FALSE(m.awake());
    ASSERT_TRUE(testing::xdotool(*display(), {"key", "ctrl+alt+k"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !performed.empty(); }, 10'000));
    EXPECT_EQ(performed, std::vector{HotkeyAction::awake});
    EXPECT_TRUE(m.awake());
    m.stopAwake();
}

}  // namespace
}  // namespace norvane
