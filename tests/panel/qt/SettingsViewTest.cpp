#include "app/panel/qt/SettingsView.h"

#include <linux/input-event-codes.h>

#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QtTest/QTest>

#include "app/model/DefaultsKeys.h"
#include "app/panel/qt/HotkeyRow.h"
#include "app/panel/qt/KeyPresses.h"
#include "app/visuals/qt/SwitchButton.h"
#include "app/visuals/qt/PillButton.h"
#include "tests/panel/qt/OpenPanel.h"

namespace norvane {
namespace {

using SettingsWidgets = testing::OpenPanel;
namespace flag = modifierFlag;

TEST(KeyPresses, QtKeysAsAMacsKeyEvents) {
    using P = HotkeyRecording::Press;
    const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    struct Row {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::uint32_t xkb;
        P press;
    };
    const Row rows[] = {
        {Qt::Key_K, ctrlAlt, 0, {40, "k", flag::control | flag::option}},
        {Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier, 0, {40, "k", flag::command | flag::shift}},  // Super: ⌘
        {Qt::Key_Exclam, Qt::ShiftModifier, 0, {18, "!", flag::shift}},  // the 1 key, shifted
        {Qt::Key_Space, Qt::NoModifier, 0, {49, " ", 0}},
        {Qt::Key_Return, Qt::NoModifier, 0, {36, std::nullopt, 0}},
        {Qt::Key_F5, Qt::NoModifier, 0, {96, std::nullopt, 0}},
        {Qt::Key_5, Qt::KeypadModifier, 0, {87, "5", flag::numericPad}},
        {Qt::Key_Print, Qt::MetaModifier, 0, {-1, std::nullopt, flag::command}},  // no such key on a Mac
        {0x0439, Qt::AltModifier, 0, {-1, "й", flag::option}},                   // no US key types it
        // With the window system's key code, the key pressed: Z on a German keyboard lies
        // where a US one has Y, and its hot key grabs that key.
        {Qt::Key_Z, Qt::MetaModifier, KEY_Y + 8, {16, "z", flag::command}},
        {0x0439, Qt::AltModifier, KEY_Q + 8, {12, "й", flag::option}},
    };
    for (const auto& row : rows) EXPECT_EQ(macKeyPress(row.key, row.modifiers, row.xkb), row.press) << row.key;
    EXPECT_TRUE(isModifierKey(Qt::Key_Super_L));
    EXPECT_FALSE(isModifierKey(Qt::Key_K));
}

TEST_F(SettingsWidgets, ASwitchStoresItsSettingAtOnceAndALinkIsCopied) {
    PanelView& panel = open({"--settings"});
    SettingsView* settings = panel.settingsView();
    ASSERT_TRUE(settings);
    auto* toggle = dynamic_cast<SwitchButton*>(button(settings, "Time left in the menu bar"));
    ASSERT_TRUE(toggle && toggle->isOn());
    toggle->click();
    EXPECT_FALSE(bench.stored().boolean(keys::showTime));  // stored before any refresh
    settle();
    EXPECT_FALSE(toggle->isOn());

    // Open at login: a click turns the registration over, and the switch shows what the
    // system reports afterwards.
    auto* login = dynamic_cast<SwitchButton*>(button(settings, "Open at login"));
    ASSERT_TRUE(login);
    const bool before = m.openAtLogin();
    ASSERT_EQ(login->isOn(), before);
    login->click();
    settle();
    EXPECT_EQ(std::pair(login->isOn(), m.openAtLogin()), std::pair(!before, !before));

    QGuiApplication::clipboard()->setText("before");
    tap(settings, "Agents: norvane://awake?mode=agents. Click to copy");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "norvane://awake?mode=agents");
    tap(settings, "Open");
    tap(settings, "Quit Norvane");
    EXPECT_EQ(std::pair(toursShown, quits), std::pair(1, 1));
}

// The half-hour steps stay where they are as the time gains a digit, so the next click at
// the same place still finds them.
TEST_F(SettingsWidgets, TheFullByStepsKeepTheirPlace) {
    m.setFullBy(FullByMode::daily, 9 * 60);
    SettingsView* settings = open({"--settings"}).settingsView();
    ASSERT_TRUE(settings);
    QAbstractButton* earlier = button(settings, "Half an hour earlier");
    QAbstractButton* later = button(settings, "Half an hour later");
    ASSERT_TRUE(earlier && later);
    const auto places = [&] { return std::pair(earlier->mapTo(settings, QPoint()), later->mapTo(settings, QPoint())); };
    const auto first = places();
    for (const std::int64_t minutes : {570, 600, 630}) {
        later->click();
        settle();
        EXPECT_EQ(m.fullByMinutes(), minutes);
        EXPECT_EQ(places(), first) << minutes;
    }
}

class RecordingRow : public SettingsWidgets {
protected:
    void SetUp() override {
        SettingsWidgets::SetUp();
        open({"--settings"});
        row = view->settingsView()->hotkeyRow(HotkeyAction::panel);
        ASSERT_TRUE(row);
        view->activateWindow();
        row->mainButton()->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    HotkeyRow* row = nullptr;
};

TEST_F(RecordingRow, AKeyPressBecomesTheModelsShortcut) {
    tap(row, "Record");
    ASSERT_TRUE(row->recording().recording);
    EXPECT_EQ(row->mainButton()->text(), "Press keys");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Control, Qt::ControlModifier);  // a modifier alone: nothing
    EXPECT_FALSE(row->recording().refused);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    settle();
    const Hotkey recorded{40, 0x1800, "⌃⌥K"};
    EXPECT_EQ(m.hotkeys().at(HotkeyAction::panel), recorded);
    EXPECT_EQ(bench.hotkeys->asked.back(), std::pair(std::optional(recorded), HotkeyAction::panel));
    EXPECT_FALSE(row->recording().recording);
    EXPECT_EQ(row->mainButton()->text(), "⌃⌥K");
    EXPECT_TRUE(row->clearButton()->isVisible());
}

TEST_F(RecordingRow, ReturnSpaceAndTabWhileRecordingRegisterNothingAndPressNothing) {
    auto* other = new QPushButton("Other", view.get());
    int clicked = 0, shortcuts = 0;
    QObject::connect(other, &QPushButton::clicked, [&] { ++clicked; });
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Return), view.get());
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++shortcuts; });
    other->show();
    tap(row, "Record");
    other->setFocus();
    for (const auto key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Tab}) QTest::keyClick(other, key);
    settle();
    EXPECT_EQ(std::tuple(clicked, shortcuts, QApplication::focusWidget() == other), std::tuple(0, 0, true));
    EXPECT_TRUE(bench.hotkeys->asked.empty());
    EXPECT_TRUE(row->recording().recording);
    EXPECT_TRUE(row->recording().refused);
    QTest::keyClick(other, Qt::Key_Escape);
    EXPECT_FALSE(row->recording().recording);
    QTest::keyClick(other, Qt::Key_Space);  // no longer taken
    EXPECT_EQ(clicked, 1);
}

TEST_F(RecordingRow, ClosingTheSettingsOrThePanelEndsTheRecording) {
    QLineEdit elsewhere;
    elsewhere.show();
    tap(row, "Record");
    QTest::keyClick(row, Qt::Key_K);  // refused: the message shows
    ASSERT_TRUE(row->recording().refused);
    tap(view.get(), "Settings");  // the gear closes the settings screen
    EXPECT_FALSE(row->recording().recording);
    tap(view.get(), "Settings");
    EXPECT_FALSE(row->recording().refused);  // back as a new row: no message
    tap(row, "Record");
    view->hide();
    EXPECT_FALSE(row->recording().recording);
    elsewhere.activateWindow();
    QTest::keyClicks(&elsewhere, "ab");
    EXPECT_EQ(elsewhere.text(), "ab");
    EXPECT_TRUE(bench.hotkeys->asked.empty());
}

}  // namespace
}  // namespace norvane
