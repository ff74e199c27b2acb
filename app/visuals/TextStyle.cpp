#include "app/visuals/TextStyle.h"

namespace norvane {

TextStyle caps() {
    return {.size = 9.5,
            .weight = FontWeight::medium,
            .monospaced = true,
            .tracking = 1.2,
            .uppercase = true,
            .color = Color::white(0.5)};
}

TextStyle note() { return {.size = 11, .color = Color::white(0.5), .wraps = true}; }

TextStyle controlLabel() { return {.size = 10.5, .weight = FontWeight::semibold, .monospaced = true}; }

}  // namespace norvane
