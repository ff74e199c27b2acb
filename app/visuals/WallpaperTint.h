#pragma once
// The pale tint the panel takes from the desktop picture.

#include <optional>

#include "platform/Color.h"

namespace norvane {

// The hue of the desktop picture's average colour when that is saturated enough
// (above 0.08), else the accent colour's hue (0.1 without one); at saturation 0.32 and
// brightness 0.96. `desktopAverage` is absent without a main screen, picture or image.
Color wallpaperTint(std::optional<Color> accent, std::optional<Color> desktopAverage);

}  // namespace norvane
