#pragma once
// Which picture stands for an app: its dot icon or the system's icon, by the user's icon
// style; and, for an entry of the energy list, a gear for the system's own processes.

#include <optional>
#include <string>

#include "app/analysis/AppUsage.h"
#include "app/visuals/DotIcon.h"
#include "app/model/IconStyle.h"

namespace norvane {

struct AppMark {
    std::string path;
    double size = 16;     // points a side
    bool inList = false;  // the mark stands in a list of apps

    // 11 cells from a size of 20 up, else 9.
    static int cells(double size) { return size >= 20 ? 11 : 9; }
    // The dot icon, when the style shows dots here; absent: the system's icon, size by size.
    std::optional<DotIcon> dots(IconStyle style) const;
    bool operator==(const AppMark&) const = default;
};

struct AppIcon {
    AppUsage app;  // its id is the bundle path, empty for the system's own processes
    double size = 16;

    // The gear placeholder of the system's processes: a symbol at half the size on a
    // rounded square (radius a quarter of the size) of faint white.
    static constexpr double symbolShare = 0.5;
    static constexpr double cornerShare = 0.25;
    static constexpr Color placeholderFill = Color::white(0.1);

    bool isSystem() const { return app.id.empty(); }
    // Everywhere but in lists: an energy-list row shows the system's icon under `list`.
    AppMark mark() const { return {app.id, size, false}; }
};

}  // namespace norvane
