#pragma once
// One app's share of the energy, as grouped from the process table.

#include <cstdint>
#include <string>
#include <string_view>

namespace norvane {

struct AppUsage {
    std::string id;    // the bundle's path ending in ".app"; empty for the "System" group
    std::string name;  // shown name
    double impact = 0;  // summed energy impact of its processes
    std::int64_t processes = 0;
    bool operator==(const AppUsage&) const = default;
};

// The shown name for an app id: the bundle's file name without its extension
// ("/Applications/Foo Bar.app" gives "Foo Bar"), or "System" for the empty id.
std::string appName(std::string_view id);

}  // namespace norvane
