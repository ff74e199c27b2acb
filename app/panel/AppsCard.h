#pragma once
// The Stats page's apps card: the apps that use the battery's energy and how much each
// takes, right now, today or over seven days; right now either as its share of the energy
// or as the percent of the battery it would cost an hour. Its only controls choose the
// period and the metric, which the page keeps.

#include <optional>
#include <string>
#include <vector>

#include "app/panel/StatsTab.h"
#include "app/visuals/DotBar.h"
#include "app/visuals/Segments.h"

namespace norvane {

struct AppsCard {
    struct Row {
        AppUsage app;                       // its id is the row's identity
        std::optional<std::string> detail;  // right now only: processes, or watts
        DotBar bar;                         // the app's share of the whole list
        std::string figure;                 // "37%", "≈3.4", "···"
        bool operator==(const Row&) const = default;
    };

    std::vector<AppPeriod> periodOptions;
    std::vector<Segment> periods;
    std::vector<AppMetric> metricOptions;  // right now only
    std::vector<Segment> metrics;
    std::string description;
    std::optional<std::string> empty;  // "Measuring…", "Nothing recorded yet."
    std::vector<Row> rows;             // the first ten of the list
    std::optional<std::string> footnote;
    bool operator==(const AppsCard&) const = default;

    // The shares count against the whole list, not only the rows shown.
    static AppsCard make(const AppModel& m, AppPeriod period, AppMetric metric, Color accent, Date now);
    // The list of the period: the live one, or the ledger's totals of one or seven days.
    static std::vector<AppUsage> list(const AppModel& m, AppPeriod period, Date now);
    // Right now, the figure of an app of that share.
    static std::string value(double share, AppMetric metric, std::optional<double> drain);

    static constexpr const char* title = "Apps";
    static constexpr std::size_t shown = 10;
    static constexpr double spacing = 12;
    static constexpr double descriptionHeight = 24;  // with or without the metric control
    static constexpr double rowSpacing = 10;
    static constexpr double rowHeight = 28;
    static constexpr double lineSpacing = 1;
    static constexpr double iconSide = 24;
    static constexpr double figureWidth = 48;

    static const std::vector<ModelField>& fields();
};

}  // namespace norvane
