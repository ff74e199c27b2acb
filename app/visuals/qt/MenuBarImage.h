#pragma once
// The menu-bar battery as an image: black dots whose opacity is all that counts, for the
// menu bar to colour.

#include <QColor>
#include <QImage>
#include <cstdint>

namespace norvane {

// 25.2 x 10.8 points at `scale` pixels a point (at least 1, at most 16).
QImage menuBarImage(std::int64_t percent, bool awake, double scale);

// The image coloured as a menu bar colours it: every dot in `ink`, at its own opacity.
QImage inked(const QImage& image, const QColor& ink);

}  // namespace norvane
