#pragma once
// Each app's energy from `top`'s power column: run it, read its rows, sum them per app
// bundle.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/analysis/AppUsage.h"
#include "platform/Process.h"

namespace norvane {

// One process row of `top`: its pid and its energy impact.
struct TopRow {
    std::int32_t pid = 0;
    double power = 0;
    bool operator==(const TopRow&) const = default;
};

// One run of `top`: two samples two seconds apart, 40 rows ordered by power. Blocks for
// the run (about two seconds), so it belongs on a background task. Empty when `top`
// cannot be started.
std::string runTop(const ProcessRunner& runner);

// The rows under the last "PID" header, in their order. Rows whose pid or power does not
// read as a number, or whose power is not finite, are skipped.
std::vector<TopRow> parseTop(std::string_view output);

// Sums the rows with a power above 0 per outermost app bundle of the process's path;
// processes outside any bundle, and bundles under /System/Library/, form "System".
// Largest impact first.
std::vector<AppUsage> groupByApp(const std::vector<TopRow>& rows, const std::function<std::string(std::int32_t)>& path);

// The app's part of the list's total impact; 0 when the total is not above 0.
double share(const AppUsage& app, const std::vector<AppUsage>& apps);

}  // namespace norvane
