#include "app/panel/HotkeyRecording.h"

#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

using HotkeyRow = testing::PanelBench;
using Press = HotkeyRecording::Press;
namespace flag = modifierFlag;

const Press escape{53, "\x1b", 0};
const Press plainK{40, "k", 0};
const Press optionCommandK{40, "k", flag::option | flag::command};
const Press plainReturn{36, "\r", 0};
const Press f5{96, std::nullopt, 0};
const Press noMacKey{-1, "x", flag::command};
const Hotkey old{0, 0x0900, "⌥⌘A"};

TEST_F(HotkeyRow, TheRecordingRules) {
    struct Step {
        const char* what;
        std::optional<Press> press;  // none: the main button starts recording
        bool accepts = true;         // the desktop takes the shortcut
        bool recording;
        bool refused;
        std::optional<std::string> label;  // the action's shortcut afterwards
    };
    const Step steps[] = {
        {"record", {}, true, true, false, "⌥⌘A"},
        {"a plain letter is refused, recording goes on", plainK, true, true, true, "⌥⌘A"},
        {"Return alone too", plainReturn, true, true, true, "⌥⌘A"},
        {"a key a Mac lacks too", noMacKey, true, true, true, "⌥⌘A"},
        {"Escape ends it, the message stays", escape, true, false, true, "⌥⌘A"},
        {"a press while idle does nothing", optionCommandK, true, false, true, "⌥⌘A"},
        {"recording again hides the message", {}, true, true, false, "⌥⌘A"},
        {"a shortcut is registered", optionCommandK, true, false, false, "⌥⌘K"},
        {"record", {}, true, true, false, "⌥⌘K"},
        {"a refused registration keeps the old one", f5, false, false, true, "⌥⌘K"},
        {"record", {}, true, true, false, "⌥⌘K"},
        {"a function key alone is one", f5, true, false, false, "F5"},
    };
    m.setHotkey(old, HotkeyAction::panel);
    HotkeyRecording row{HotkeyAction::panel};
    for (const auto& step : steps) {
        bench.hotkeys->accepts = step.accepts;
        if (step.press)
            row.press(m, *step.press);
        else
            row.record();
        const auto held = m.hotkeys().find(HotkeyAction::panel);
        EXPECT_EQ(std::tuple(row.recording, row.refused,
                             held == m.hotkeys().end() ? std::nullopt : std::optional(held->second.label)),
                  std::tuple(step.recording, step.refused, step.label))
            << step.what;
    }
}

TEST_F(HotkeyRow, WhatTheRowShowsAndClear) {
    HotkeyRecording row{HotkeyAction::awake};
    using Row = HotkeyRecording::Row;
    const Pill quiet = HotkeyRecording::quietPill;
    EXPECT_EQ(row.row(m, accent),
              (Row{"Stay awake on or off", false, "Record", quiet, "Stay awake on or off: no shortcut. Press to record one",
                   false}));
    m.setHotkey(old, HotkeyAction::awake);
    EXPECT_EQ(row.row(m, accent), (Row{"Stay awake on or off", true, "⌥⌘A", quiet,
                                       "Stay awake on or off: ⌥⌘A. Press to record one", false}));
    row.record();
    row.press(m, plainK);
    EXPECT_EQ(row.row(m, accent), (Row{"Stay awake on or off", false, "Press keys", {accent, Color::black()},
                                       "Stay awake on or off: ⌥⌘A. Press to record one", true}));
    row.stop();
    row.clear(m);  // the message is left as it is
    EXPECT_EQ(std::tuple(row.row(m, accent).button, row.row(m, accent).clear, row.refused), std::tuple("Record", false, true));
    EXPECT_EQ(HotkeyRecording{HotkeyAction::panel}.row(m, accent).title, "Open Norvane");
}

}  // namespace
}  // namespace norvane
