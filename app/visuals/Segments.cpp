#include "app/visuals/Segments.h"

namespace norvane {

Segment segment(std::string title, bool selected, bool compact) {
    TextStyle label = controlLabel();
    label.color = selected ? Color::black() : Color::white(0.7);
    return {std::move(title), selected, label, selected ? Color::white(0.9) : Color::clear(), compact ? 6.0 : 10.0};
}

}  // namespace norvane
