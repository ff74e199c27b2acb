#pragma once
// Images from the workspace: the desktop picture's tint and the icons of applications,
// drawn as the system draws them or sampled into dots.

#include <QImage>
#include <optional>
#include <string>

#include "app/visuals/DotIcon.h"
#include "platform/Workspace.h"

namespace norvane {

// The picture's average colour (the whole picture drawn into one pixel, every pixel
// weighing the same) in memory bounded whatever its size and depth: a PNG summed row by row as
// it is decoded, another picture of more than a megapixel decoded by its own decoder at most
// 256 pixels a side (a JPEG); absent when no image loads from it, when it is not a regular
// file, or when its decoder could only give it whole. Slow for a large picture: call it off
// the main queue.
std::optional<Color> pictureAverage(const Path& picture);

// Reads the workspace afresh: the desktop picture's average colour and the accent colour.
Color wallpaperTint(const Workspace& workspace);

// The image drawn into cells x cells pixels with smooth scaling, as samples; empty for a
// null image or a cell count outside 1...1024.
DotColors dotColors(const QImage& image, int cells);

// An application's icon, `pixels` a side: the bundle's own icon, else the desktop theme's
// icon of that name, else a generic one drawn here. Never null for 1...1024 pixels.
QImage appIconImage(const Workspace& workspace, const std::string& path, int pixels);

// The icon sampled for a dot icon: taken at 256 pixels, its outer 9 % (of the width) cut
// off all round, then sampled into cells x cells.
std::optional<DotColors> sampleAppIcon(const Workspace& workspace, const std::string& path, int cells);
DotIcon::Sampler iconSampler(const Workspace& workspace);

}  // namespace norvane
