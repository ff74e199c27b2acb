#pragma once
// The global hot keys the user records: what each one does and its key, with the stored
// form of the whole table (the "hotkeys" default).

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

// The table as JSON: an array that alternates an action's raw value and its hot key's
// object ({"keyCode", "modifiers", "label"}), one pair per action; [] for none.
std::string encodeHotkeys(const HotkeyTable& hotkeys);
// Absent unless the text is such an array: an even count, each action known and each key
// code and modifier mask an unsigned 32-bit integer. A later pair for an action wins.
std::optional<HotkeyTable> decodeHotkeys(std::string_view json);

}  // namespace norvane
