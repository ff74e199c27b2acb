#include "app/panel/HotkeyRecording.h"

namespace norvane {

void HotkeyRecording::record() {
    refused = false;
    recording = true;
}

void HotkeyRecording::press(AppModel& m, const Press& press) {
    if (!recording) return;
    if (press.keyCode == escapeKey) return stop();
    const auto shortcut = hotkey(press.keyCode, press.characters, press.flags);
    if (!shortcut) {
        refused = true;
        return;
    }
    refused = !m.setHotkey(*shortcut, action);
    stop();
}

void HotkeyRecording::clear(AppModel& m) const {
    m.setHotkey(std::nullopt, action);
}

HotkeyRecording::Row HotkeyRecording::row(const AppModel& m, Color accent) const {
    const auto found = m.hotkeys().find(action);
    const Hotkey* current = found == m.hotkeys().end() ? nullptr : &found->second;
    Row row;
    row.title = action == HotkeyAction::panel ? "Open Norvane" : "Stay awake on or off";
    row.clear = current && !recording;
    row.button = recording ? "Press keys" : current ? current->label : "Record";
    row.pill = recording ? Pill{accent, Color::black()} : quietPill;
    row.accessibility = row.title + ": " + (current ? current->label : "no shortcut") + ". Press to record one";
    row.message = refused;
    return row;
}

}  // namespace norvane
