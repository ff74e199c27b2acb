#pragma once
// Where the panel's accent comes from: a pale tint of the desktop picture's hue. Reading the
// picture takes an image decoder, so the shell implements it; the model asks once at start.

#include "platform/Color.h"

namespace norvane {

class TintSource {
public:
    virtual ~TintSource() = default;
    virtual Color wallpaperTint() const = 0;
};

}  // namespace norvane
