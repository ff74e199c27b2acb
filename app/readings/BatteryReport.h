#pragma once
// The one-page HTML battery report: self-contained (inline style, no scripts, nothing
// loaded from elsewhere), built from one value by a pure function.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/readings/HealthTrend.h"
#include "platform/DateFormatter.h"
#include "platform/Time.h"

namespace norvane {

struct BatteryReportFacts {
    Date made;
    std::string mac;     // model identifier · chip
    std::string system;  // "macOS 26.1", see systemName
    std::optional<std::int64_t> health;  // percent
    std::int64_t capacity = 0;  // full-charge capacity, mAh
    std::int64_t design = 0;    // mAh
    std::int64_t cycles = 0;
    std::int64_t limit = 100;   // charge limit in percent; 100 when there is none
    std::optional<std::string> since;  // day key of the record's first point
    std::vector<HealthMonth> months;   // months with points, oldest first
};

// The whole HTML document. Dates are written by `format` (the user's locale and zone).
std::string batteryReport(const BatteryReportFacts& facts, const DateFormatter& format = DateFormatter::current());

// "macOS 26.1"; the patch number only when it is 1 or more ("macOS 26.1.2").
std::string systemName(std::int64_t major, std::int64_t minor, std::int64_t patch);

// The name offered when saving: "Norvane battery report 2026-12-08.html".
std::string batteryReportFileName(Date now, const Calendar& calendar);

}  // namespace norvane
