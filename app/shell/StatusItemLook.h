#pragma once
// What the status item shows, as one comparable value: the item is drawn again only when
// the look made from the model's fields differs from the one it shows.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/controls/AwakeMode.h"
#include "app/model/ModelField.h"
#include "platform/Color.h"

namespace norvane {

struct StatusItemLook {
    std::int64_t percent = 0;  // the battery image's charge
    bool awake = false;        // the image's keep-awake mark
    std::string title;
    std::string accessibilityLabel;
    bool operator==(const StatusItemLook&) const = default;
};

// The mark shows while a session runs and holds the Mac awake (not while it waits). Without
// a battery (no percent) the image shows no charge and the label says so.
StatusItemLook statusItemLook(std::optional<std::int64_t> percent, const std::optional<AwakeSession>& awake,
                              const AwakeStatus& state, const std::string& menuText);

// The model's fields the look is made of: the battery, the keep-awake session and its
// state, and those of the menu-bar text.
inline constexpr std::array<ModelField, 6> statusItemFields{ModelField::battery,    ModelField::hasBattery,
                                                            ModelField::awake,      ModelField::awakeState,
                                                            ModelField::forecast,   ModelField::showTime};

// The colour the battery image takes in a system tray, as a Mac's menu bar colours a
// template image for its light or dark bar (only each dot's opacity is the image's own):
// the colour the tray asks of its icons where it says one (`trayForeground`); else white or
// black, whichever stands out more from the tray's own colour, read from `trayPixels`, the
// screen where the icon sits (their median by luminance, which the icon's few dots do not
// move); else the desktop palette's text colour.
Color trayInk(const std::optional<Color>& trayForeground, const std::vector<Color>& trayPixels, Color paletteText);

// Relative luminance of an sRGB colour: 0 for black, 1 for white.
double relativeLuminance(Color color);

}  // namespace norvane
