#pragma once
// The daily capacity record: one point a day of the battery's full-charge capacity,
// health and cycle count, kept in health.json, and what it says about the battery's ageing.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Time.h"

namespace norvane {

struct HealthPoint {
    std::string day;  // the day key, AppLedger::day
    std::int64_t capacity = 0;  // full-charge capacity, mAh
    std::optional<std::int64_t> health;  // percent
    std::int64_t cycles = 0;
    bool operator==(const HealthPoint&) const = default;
};

// One month of the record.
struct HealthMonth {
    Date month;  // the first instant of the month
    double percent = 0;  // the month's average capacity in percent of the design capacity
    std::int64_t cycles = 0;  // of the month's last point
    bool operator==(const HealthMonth&) const = default;
};

// How health changed over the record; negative points mean the battery lost health.
struct HealthChange {
    std::int64_t points = 0;
    Date since;  // the first point's day
    std::int64_t cycles = 0;  // cycles added since then, never below 0
    bool operator==(const HealthChange&) const = default;
};

struct HealthTrend {
    std::vector<HealthPoint> points;  // ascending day, at most one a day

    static constexpr int keptYears = 3;
    // Three years of a point a day are some 80 KiB.
    static constexpr std::size_t maximumFileBytes = std::size_t{16} << 20;

    // The record in `url`; points with a capacity not above 0 are dropped. A missing file
    // gives an empty record; a file that exists but cannot be read or decoded (a link, no
    // regular file, more than `maximumFileBytes`) is moved aside first, so that the next
    // save does not overwrite years of history; `log` hears of each one.
    static HealthTrend load(const Path& url, const FileLog& log = {});
    // Writes health.json atomically, creating its folder. False when nothing was written;
    // the previous file then stays as it was.
    bool save(const Path& url) const;

    // Replaces today's point (if any) with this one and drops points older than three
    // calendar years. A capacity below 1 (no battery) changes nothing.
    void record(std::int64_t capacity, std::optional<std::int64_t> health, std::int64_t cycles, Date now,
                const Calendar& calendar);

    // One entry per month, oldest first, ending with the month of `now`; an entry is absent
    // for a month without points. All absent when the design capacity is not above 0.
    std::vector<std::optional<HealthMonth>> monthly(int months, Date now, std::int64_t design,
                                                    const Calendar& calendar) const;

    // The change between the average of the first and of the last (up to seven) points,
    // in points of the design capacity; absent before the record spans 30 days.
    std::optional<HealthChange> change(Date now, std::int64_t design, const Calendar& calendar) const;

    // A made-up year of slow ageing, for demonstrations.
    static HealthTrend demo(Date now, std::int64_t design, const Calendar& calendar);

    bool operator==(const HealthTrend&) const = default;
};

}  // namespace norvane
