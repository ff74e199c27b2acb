#pragma once
// The Stats page's history card: the battery level of the last 3 hours, 24 hours or 7 days
// as 36 dot columns from the model's charge history; the span is the page's choice.

#include <optional>
#include <string>
#include <vector>

#include "app/panel/StatsTab.h"
#include "app/visuals/HistoryChart.h"
#include "app/visuals/Segments.h"

namespace norvane {

// What a span covers: 10800, 86400 or 604800 seconds.
double seconds(Span span);
// How a span is spoken: "3 hours", "24 hours", "7 days".
std::string_view spoken(Span span);

struct HistoryCard {
    bool demo = false;  // "· demo data" follows the title
    std::vector<Span> spanOptions;
    std::vector<Segment> spans;
    std::vector<std::optional<Sample>> columns;  // oldest first; a column without a sample is empty
    std::string accessibility;                   // "Battery level over the last 24 hours"
    std::string start;                           // the axis's left label, "−24H"
    bool operator==(const HistoryCard&) const = default;

    static HistoryCard make(const AppModel& m, Span span, Date now);
    HistoryChart chart(Color accent) const { return {columns, accent}; }

    static constexpr const char* title = "History";
    static constexpr const char* demoMark = "· demo data";
    static constexpr const char* end = "Now";
    static constexpr int count = 36;
    static constexpr double spacing = 10;

    static const std::vector<ModelField>& fields();
};

}  // namespace norvane
