#pragma once
// The charge history: one sample a line in history.csv, the last thirty days of it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "platform/Time.h"

namespace norvane {

struct Sample {
    Date time;
    std::int64_t percent = 0;
    bool charging = false;
    bool plugged = false;
    bool operator==(const Sample&) const = default;
};

struct HistoryStore {
    std::optional<Path> url;  // absent: the store lives in memory only
    std::vector<Sample> samples;  // oldest first

    static constexpr double window = 2'592'000;  // 30 days, applied only when loading
    // A year of one line a minute is some 10 MiB; a file beyond this is no history of ours.
    static constexpr std::size_t maximumFileBytes = std::size_t{64} << 20;

    HistoryStore() = default;
    // Loads the samples no older than 30 days before `now`; rewrites the file when older
    // ones were dropped. Never fails: any problem yields fewer samples. A file that cannot
    // be read is left as it is, but one that is no regular file of at most
    // `maximumFileBytes`, or a link, is moved aside, so that appends can start a new one.
    // The line that tells of a file moved aside goes to `log`.
    HistoryStore(std::optional<Path> url, Date now, const FileLog& log = {});

    // Adds the sample and appends its line to the file (the sample stays in memory even
    // when the file cannot take it).
    void append(const Sample& sample);

    static std::optional<Sample> parse(std::string_view line);
    static std::string line(const Sample& sample);
};

// Chart columns over the last `span` seconds, oldest column first; each holds the latest
// sample that falls into it. Empty for a count below 1.
std::vector<std::optional<Sample>> buckets(const std::vector<Sample>& samples, Date now, double span, int count);

}  // namespace norvane
