#pragma once
// The model's keys in the user defaults. Most settings are stored under their field's
// name; these are all of them, in one place, because several areas of the model read and
// write the same keys.

#include <string_view>

namespace norvane::keys {

// Settings.
inline constexpr std::string_view checksForUpdates = "checksForUpdates";
inline constexpr std::string_view notifyLow = "notifyLow";
inline constexpr std::string_view notifyLimit = "notifyLimit";
inline constexpr std::string_view alertLow = "alertLow";
inline constexpr std::string_view alertHigh = "alertHigh";
inline constexpr std::string_view autoLowPower = "autoLowPower";
inline constexpr std::string_view notifyDrain = "notifyDrain";
inline constexpr std::string_view iconStyle = "iconStyle";
inline constexpr std::string_view useAI = "useAI";
inline constexpr std::string_view fullOnce = "fullOnce";
inline constexpr std::string_view showTime = "showTime";
inline constexpr std::string_view lowPowerOwed = "lowPowerOwed";
inline constexpr std::string_view agentsIgnored = "awakeAgentsIgnored";
inline constexpr std::string_view awakeMode = "awakeMode";
inline constexpr std::string_view awakeFloor = "awakeFloor";
inline constexpr std::string_view awakePowerOnly = "awakePowerOnly";
inline constexpr std::string_view awakeLid = "awakeLid";
inline constexpr std::string_view fullByMode = "fullByMode";
inline constexpr std::string_view fullByMinutes = "fullByMinutes";
inline constexpr std::string_view fullByTarget = "fullByTarget";
inline constexpr std::string_view hotkeys = "hotkeys";

// Bookkeeping.
inline constexpr std::string_view awakeAgents = "awakeAgents";
inline constexpr std::string_view loginItemSet = "loginItemSet";
inline constexpr std::string_view updateChecked = "updateChecked";
inline constexpr std::string_view dismissedTips = "dismissedTips";

}  // namespace norvane::keys
