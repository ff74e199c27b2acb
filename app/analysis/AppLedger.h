#pragma once
// The per-day ledger of each app's energy, kept in apps.json.

#include <map>
#include <string>
#include <vector>

#include "app/analysis/AppUsage.h"
#include "platform/Files.h"
#include "platform/Time.h"

namespace norvane {

struct AppLedger {
    // Day key → app id ("" for "System") → energy in impact × seconds.
    std::map<std::string, std::map<std::string, double>> days;

    static constexpr std::size_t maxDays = 30;
    static constexpr double maxSampleSeconds = 120;

    // The calendar day as "%04d-%02d-%02d"; its text order is date order. Also the day
    // key of the daily capacity record and of the battery report's file name.
    static std::string day(Date date, const Calendar& calendar);

    // Adds seconds × impact to today's entry of each app, then keeps the newest 30 days.
    // Seconds not above 0 change nothing; apps whose energy would not be finite are left out.
    // True when the ledger changed.
    bool add(const std::vector<AppUsage>& apps, double seconds, Date now, const Calendar& calendar);

    // Each app's energy over today and the `count` − 1 days before it, heaviest first.
    // Empty for a count below 1.
    std::vector<AppUsage> totals(int count, Date now, const Calendar& calendar) const;

    // Writes apps.json atomically, creating its folder. False when nothing was written;
    // the ledger in memory stays the truth and the next save tries again.
    bool save(const Path& url) const;

    // Thirty days of hundreds of apps are a few MiB.
    static constexpr std::size_t maximumFileBytes = std::size_t{64} << 20;

    // The ledger in `url`. A missing file gives an empty ledger; a file that exists but cannot
    // be read or decoded (a link, no regular file, more than `maximumFileBytes`) is moved
    // aside first, so the next save does not overwrite it; `log` hears of each one.
    static AppLedger load(const Path& url, const FileLog& log = {});

    // The seconds one sample of app energy stands for: the time since the previous sample,
    // within 0…120 (a clock that went backwards gives 0, so the sample adds nothing).
    static double sampleSeconds(double sinceLast);

    bool operator==(const AppLedger&) const = default;
};

}  // namespace norvane
