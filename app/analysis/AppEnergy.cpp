#include "app/analysis/AppEnergy.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "platform/Text.h"

namespace norvane {
namespace {

// The outermost bundle holding the path, so a helper app nested inside another app
// counts for the app the user started.
std::string appKey(std::string_view path) {
    constexpr std::string_view marker = ".app/";
    const auto at = path.find(marker);
    if (at == std::string_view::npos) return {};
    std::string key(path.substr(0, at + marker.size() - 1));
    if (key.starts_with("/System/Library/")) return {};
    return key;
}

}  // namespace

std::string runTop(const ProcessRunner& runner) {
    static const std::vector<std::string> arguments{"-l", "2", "-s", "2", "-o", "power", "-stats", "pid,command,power",
                                                    "-n", "40"};
    const auto result = runner.run("/usr/bin/top", arguments, ErrorOutput::discard);
    if (!result.started) return {};
    return decodeUtf8Lossy(result.output);
}

std::vector<TopRow> parseTop(std::string_view output) {
    const auto lines = splitNonEmpty(output, '\n');
    // With two samples each has its own header; the first sample's figures have no
    // interval behind them, so only the rows of the last one count.
    auto header =
        std::find_if(lines.rbegin(), lines.rend(), [](std::string_view line) { return line.starts_with("PID"); });
    if (header == lines.rend()) return {};
    std::vector<TopRow> rows;
    for (auto line = header.base(); line != lines.end(); ++line) {
        const auto fields = splitNonEmpty(*line, ' ');
        if (fields.size() <= 2) continue;
        // The command between them may hold spaces of its own; only the ends are read.
        const auto pid = parseInt32(fields.front());
        const auto power = parseDouble(fields.back());
        if (!pid || !power || !std::isfinite(*power)) continue;
        rows.push_back({*pid, *power});
    }
    return rows;
}

std::vector<AppUsage> groupByApp(const std::vector<TopRow>& rows,
                                 const std::function<std::string(std::int32_t)>& path) {
    std::vector<AppUsage> apps;
    std::unordered_map<std::string, std::size_t> index;
    double total = 0;  // of every kept row, so no app's sum nor the sum of all can overflow
    for (const auto& row : rows) {
        // A non-finite figure would poison every sum and share it reaches.
        if (!(row.power > 0) || !std::isfinite(row.power) || !std::isfinite(total + row.power)) continue;
        total += row.power;
        std::string key = appKey(path(row.pid));
        auto [it, added] = index.try_emplace(key, apps.size());
        if (added) apps.push_back({key, appName(key), 0, 0});
        auto& app = apps[it->second];
        app.impact += row.power;
        app.processes += 1;
    }
    std::stable_sort(apps.begin(), apps.end(),
                     [](const AppUsage& a, const AppUsage& b) { return a.impact > b.impact; });
    return apps;
}

double share(const AppUsage& app, const std::vector<AppUsage>& apps) {
    double total = 0;
    for (const auto& other : apps)
        total += other.impact;
    if (!(total > 0) || !std::isfinite(total)) return 0;
    return app.impact / total;
}

}  // namespace norvane
