#pragma once
// Key presses of Qt as a Mac's key events give them to the shortcut recorder: the key's
// Mac virtual code, its characters without modifiers and the modifier flags (Super stands
// for Command and Alt for Option, as the global hot keys take them).
//
// The code names the physical key. Where the window system tells which key was pressed
// (XKB's key code, on X11 and Wayland: the Linux input code plus 8), that key is taken, so
// the hot key grabs exactly the key that was pressed whatever the layout; elsewhere (the
// offscreen platform of the tests) the key is found from its symbol as a US keyboard types
// it. The characters come from the symbol: a key without a printable symbol has none.

#include <QKeyEvent>
#include <cstdint>

#include "app/panel/HotkeyRecording.h"

namespace norvane {

// `xkbKeycode` is 0 where the window system gives none.
HotkeyRecording::Press macKeyPress(int key, Qt::KeyboardModifiers modifiers, std::uint32_t xkbKeycode);
HotkeyRecording::Press macKeyPress(const QKeyEvent& event);
// Shift, Control, Alt, Super, the locks…: a Mac sends no key-down for them alone.
bool isModifierKey(int key);

}  // namespace norvane
