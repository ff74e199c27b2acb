#include "app/visuals/Pill.h"

namespace norvane {

Pill::Face Pill::face(bool pressed, bool enabled) const {
    TextStyle label = controlLabel();
    label.uppercase = true;
    label.color = text;
    return {label, fill.multipliedOpacity(pressed ? 0.6 : 1.0), enabled ? 1.0 : 0.4};
}

}  // namespace norvane
