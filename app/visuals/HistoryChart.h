#pragma once
// The charge history as dot columns, one per time bucket; charging columns in the accent.

#include <optional>
#include <vector>

#include "app/readings/HistoryStore.h"
#include "app/visuals/DotLayout.h"

namespace norvane {

struct HistoryChart {
    std::vector<std::optional<Sample>> columns;  // left to right; absent: no sample in the bucket
    Color accent;

    static constexpr double height = 80;
    // The pitch is the same both ways, so ten rows take ten column widths whatever the
    // frame's height. Nothing is drawn without columns.
    DotLayout layout(double width) const;
};

}  // namespace norvane
