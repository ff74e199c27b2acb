#include "app/visuals/WallpaperTint.h"

namespace norvane {

Color wallpaperTint(std::optional<Color> accent, std::optional<Color> desktopAverage) {
    double hue = accent ? accent->hue() : 0.1;
    if (desktopAverage && desktopAverage->saturation() > 0.08) hue = desktopAverage->hue();
    return Color::hsb(hue, 0.32, 0.96);
}

}  // namespace norvane
