#pragma once
// The panel's pages.

#include <array>
#include <string_view>

namespace norvane {

enum class Tab { now, stats };

inline constexpr std::array<Tab, 2> allTabs{Tab::now, Tab::stats};

// "NOW", "STATS".
constexpr std::string_view rawValue(Tab tab) { return tab == Tab::now ? "NOW" : "STATS"; }

}  // namespace norvane
