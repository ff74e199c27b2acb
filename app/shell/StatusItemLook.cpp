#include "app/shell/StatusItemLook.h"

#include <algorithm>
#include <cmath>

namespace norvane {

StatusItemLook statusItemLook(std::optional<std::int64_t> percent, const std::optional<AwakeSession>& awake,
                              const AwakeStatus& state, const std::string& menuText) {
    const bool holding = awake && std::holds_alternative<AwakeStatus::Holding>(state.value);
    if (!percent) return {0, holding, " " + menuText, "Norvane, no battery"};
    return {*percent, holding, " " + menuText, "Norvane, battery " + menuText};
}

double relativeLuminance(Color color) {
    const auto linear = [](double c) {
        c = std::isfinite(c) ? std::clamp(c, 0.0, 1.0) : 0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

Color trayInk(const std::optional<Color>& trayForeground, const std::vector<Color>& trayPixels, Color paletteText) {
    if (trayForeground) return trayForeground->withOpacity(1);
    if (trayPixels.empty()) return paletteText;
    std::vector<double> levels;
    levels.reserve(trayPixels.size());
    for (const Color& pixel : trayPixels)
        levels.push_back(relativeLuminance(pixel));
    const auto middle = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2);
    std::nth_element(levels.begin(), middle, levels.end());
    // The contrast ratios of white and of black against the tray: (lighter + 0.05) / (darker + 0.05).
    const double tray = *middle;
    return 1.05 / (tray + 0.05) > (tray + 0.05) / 0.05 ? Color::white() : Color::black();
}

}  // namespace norvane
