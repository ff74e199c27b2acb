#pragma once
// Where the panel's accent comes from: a pale tint of the desktop picture's hue. Reading the
// picture takes an image decoder, so the shell implements it. The model takes what is known at
// once for its first frame and, when the picture must be decoded, the rest off the main queue.

#include "platform/Color.h"

namespace norvane {

class TintSource {
public:
    virtual ~TintSource() = default;
    // The tint from what is at hand without decoding: the accent, with the picture's average
    // where one was kept from an earlier start. `settled` is false while only decoding the
    // picture can tell the rest.
    struct Known {
        Color tint;
        bool settled = true;
    };
    virtual Known knownTint() const = 0;
    // The tint with the picture decoded where needed: slow for a large picture. Called off the
    // main queue, from any thread.
    virtual Color wallpaperTint() const = 0;
};

}  // namespace norvane
