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
#include "app/visuals/Card.h"
#include "app/visuals/DotLayout.h"
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

// The colours of the battery image in a system tray, as a Mac's menu bar colours a template
// image for its light or dark bar (only each dot's opacity is the image's own).
struct TrayInk {
    Color dots;  // every dot, at its own opacity
    // Where the tray's colour is unknown: a dark body behind the dots, in the battery's shape,
    // so that light dots on it stand out from a light tray and from a dark one.
    std::optional<Color> body;
    bool operator==(const TrayInk&) const = default;
};

// The colour the tray asks of its icons where it says one (`trayForeground`); else white or
// black, whichever stands out more from the tray's own colour, read from `trayPixels`, the
// screen where the icon sits above and below the battery (their median by luminance, which a
// few stray pixels do not move); else, where the tray tells nothing (as a tray that draws the
// icon itself over the session bus), white dots on a black body.
TrayInk trayInk(const std::optional<Color>& trayForeground, const std::vector<Color>& trayPixels);

// The battery image as a square tray icon of `side` pixels: in pixels, y growing downwards,
// the dots centred in the square and, with a body, behind them the rounded boxes of the body
// (one round the 6 x 3 dots, one round the tip's), reaching beyond the dots as far as the dots
// lie apart and at least a pixel, out to whole pixels.
struct TrayImage {
    std::vector<Rect> body;
    double bodyRadius = 0;
    DotLayout dots;  // each in its colour
};
TrayImage trayImage(std::int64_t percent, bool awake, const TrayInk& ink, int side);
// The share of the icon's side that the image leaves empty above and below the battery: there
// the tray's own colour shows.
inline constexpr double trayIconMargin = 0.2;

// Relative luminance of an sRGB colour: 0 for black, 1 for white.
double relativeLuminance(Color color);

}  // namespace norvane
