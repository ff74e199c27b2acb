#pragma once
// The global hot keys the user records: what each one does and its key, with the stored
// form of the whole table (the "hotkeys" default), and the vocabulary of keys that turns a
// recorded key press into a shortcut: the keys shown by name, the modifier masks and the
// rule of which presses make one. The settings' recorder, the model and the desktop's key
// grabs all take it from here.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace norvane {

// What a hot key does: toggle keep-awake, or show and hide the panel.
enum class HotkeyAction { awake, panel };

inline constexpr std::array<HotkeyAction, 2> allHotkeyActions{HotkeyAction::awake, HotkeyAction::panel};

// "awake", "panel".
std::string_view rawValue(HotkeyAction action);
// Absent for any other text.
std::optional<HotkeyAction> hotkeyAction(std::string_view raw);

// One global shortcut as the system registers it.
struct Hotkey {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;  // the system's modifier mask
    std::string label;            // shown to the user ("⌃⌥A")
    bool operator==(const Hotkey&) const = default;
};

using HotkeyTable = std::map<HotkeyAction, Hotkey>;

// A key event's modifier flags, with the bits a Mac's key events use.
using ModifierFlags = std::uint64_t;
namespace modifierFlag {
inline constexpr ModifierFlags capsLock = 1 << 16;
inline constexpr ModifierFlags shift = 1 << 17;
inline constexpr ModifierFlags control = 1 << 18;
inline constexpr ModifierFlags option = 1 << 19;
inline constexpr ModifierFlags command = 1 << 20;
inline constexpr ModifierFlags numericPad = 1 << 21;
inline constexpr ModifierFlags help = 1 << 22;
inline constexpr ModifierFlags function = 1 << 23;
}  // namespace modifierFlag

// The keys shown by name rather than by their character: space, return, tab, escape,
// delete, forward delete, the four arrows and F1 to F12, by key code.
const std::map<std::uint32_t, std::string>& namedKeys();

// The hot-key modifier mask of the flags: command 0x0100, shift 0x0200, option 0x0800,
// control 0x1000; other flags add nothing.
std::uint32_t carbonModifiers(ModifierFlags flags);

// The shortcut for a key press: its code (0…65535), its characters without modifiers and
// its flags. Nothing when the press cannot be one: a function key goes with any
// modifiers, every other key needs control, option or command, and a key without a name
// needs characters that are not all white space. The label is the modifiers' symbols
// (⌃⌥⇧⌘, in that order) followed by the key's name or its characters upper-cased.
std::optional<Hotkey> hotkey(std::int64_t keyCode, const std::optional<std::string>& characters, ModifierFlags flags);

// Whether `hotkey(…)` could have made this shortcut from some key press (a stored entry
// may have been edited into one no key press makes).
bool recordable(const Hotkey& key);

// The table as JSON: an array that alternates an action's raw value and its hot key's
// object ({"keyCode", "modifiers", "label"}), one pair per action; [] for none.
std::string encodeHotkeys(const HotkeyTable& hotkeys);
// Absent unless the text is such an array: an even count, each action known and each key
// code and modifier mask an unsigned 32-bit integer. A later pair for an action wins.
std::optional<HotkeyTable> decodeHotkeys(std::string_view json);

}  // namespace norvane
