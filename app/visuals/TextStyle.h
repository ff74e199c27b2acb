#pragma once
// How a piece of text looks. Sizes are device-independent pixels; the painting half picks
// the DejaVu family (its monospaced face where `monospaced` is set).

#include "platform/Color.h"

namespace norvane {

enum class FontWeight { regular, medium, semibold, bold };

struct TextStyle {
    double size = 13;
    FontWeight weight = FontWeight::regular;
    bool monospaced = false;
    double tracking = 0;  // extra space between letters
    bool uppercase = false;
    Color color = Color::white();
    bool wraps = false;  // grows downwards onto more lines instead of being cut

    bool operator==(const TextStyle&) const = default;
};

// Small capital labels.
TextStyle caps();
// Secondary text of the cards: wraps onto more lines and takes the width it is offered.
TextStyle note();
// Labels of buttons and segmented pickers.
TextStyle controlLabel();

}  // namespace norvane
