#pragma once
// The capsule segmented picker: one segment per option, the selected one light with
// dark text. The selection lives with the caller.

#include <functional>
#include <string>
#include <vector>

#include "app/visuals/TextStyle.h"

namespace norvane {

// One segment as drawn: its label keeps its ideal size, so long titles widen the control.
struct Segment {
    std::string title;
    bool selected = false;
    TextStyle label;    // black on the selected segment, else white at 70 %
    Color fill;         // white at 90 % when selected, else clear
    double horizontalPadding = 10;  // 6 when compact
    bool operator==(const Segment&) const = default;
};

struct SegmentsStyle {
    static constexpr double spacing = 2;          // between segments
    static constexpr double verticalPadding = 5;  // of each segment
    static constexpr double inset = 2;            // around the row of segments
    static constexpr Color track = Color::white(0.08);
    static constexpr double disabledOpacity = 0.4;  // of the whole control while it cannot be used
};

Segment segment(std::string title, bool selected, bool compact);

template <class T>
struct Segments {
    std::vector<T> options;
    T selection{};
    bool compact = false;
    std::function<std::string(const T&)> title;

    // In the order of the options; a selection that is none of them marks no segment.
    std::vector<Segment> segments() const {
        std::vector<Segment> out;
        for (const T& option : options) out.push_back(segment(title ? title(option) : "", option == selection, compact));
        return out;
    }
    // A tap on a segment sets the selection to its option.
    void tap(std::size_t index) {
        if (index < options.size()) selection = options[index];
    }
};

}  // namespace norvane
