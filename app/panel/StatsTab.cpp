#include "app/panel/StatsTab.h"

#include <cmath>

#include "platform/CommandLine.h"
#include "platform/Text.h"

namespace norvane {

std::string_view rawValue(AppPeriod period) {
    switch (period) {
        case AppPeriod::now: return "NOW";
        case AppPeriod::today: return "TODAY";
        case AppPeriod::week: return "7D";
    }
    return "";
}

std::string_view rawValue(AppMetric metric) {
    return metric == AppMetric::share ? "%" : "≈%/H";
}

std::string_view rawValue(Span span) {
    switch (span) {
        case Span::hours: return "3H";
        case Span::day: return "24H";
        case Span::week: return "7D";
    }
    return "";
}

StatsTab StatsTab::make(const std::vector<std::string>& arguments) {
    StatsTab tab;
    if (hasArgument(arguments, "--apps-per-hour")) tab.metric = AppMetric::perHour;
    if (hasArgument(arguments, "--apps-today")) tab.period = AppPeriod::today;
    return tab;
}

TextStyle StatsTab::labelStyle() {
    return {.size = 13, .weight = FontWeight::medium};
}

TextStyle StatsTab::figureStyle(Color color) {
    return {.size = 12, .monospaced = true, .color = color};
}

TextStyle StatsTab::detailStyle() {
    return {.size = 10, .color = Color::white(0.45)};
}

std::optional<std::int64_t> StatsTab::edit(bool editing, const AppModel& m) {
    dragging = editing;
    return editing ? std::nullopt : commit(m);
}

std::optional<std::int64_t> StatsTab::move(double value, const AppModel& m) {
    slider = value;
    return dragging ? std::nullopt : commit(m);
}

std::optional<std::int64_t> StatsTab::commit(const AppModel& m) const {
    if (dragging || m.limitBusy()) return std::nullopt;
    const auto percent = truncatedInteger(slider);
    if (!percent || *percent == m.limit()) return std::nullopt;
    return percent;
}

std::optional<double> known(std::optional<double> value) {
    return value && std::isfinite(*value) ? value : std::nullopt;
}

}  // namespace norvane
