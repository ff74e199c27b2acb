#include "app/readings/HistoryStore.h"

#include <array>
#include <cmath>

#include "platform/Text.h"

namespace norvane {
namespace {

// Times that cannot be written back as whole seconds in 64 bits are not times at all.
bool writableTime(double seconds) {
    constexpr double limit = 9223372036854775808.0;  // 2^63
    return std::isfinite(seconds) && seconds > -limit && seconds < limit;
}

}  // namespace

std::optional<Sample> HistoryStore::parse(std::string_view line) {
    // The non-empty pieces between commas (",," counts as one separator), read in place:
    // this runs once per minute of a month of history at every start.
    std::array<std::string_view, 4> fields;
    std::size_t count = 0;
    while (!line.empty()) {
        const std::size_t comma = line.find(',');
        const std::string_view piece = line.substr(0, comma);
        line.remove_prefix(comma == std::string_view::npos ? line.size() : comma + 1);
        if (piece.empty()) continue;
        if (count == fields.size()) return std::nullopt;
        fields[count++] = piece;
    }
    if (count != 3 && count != 4) return std::nullopt;
    const auto time = parseDouble(fields[0]);
    if (!time || !writableTime(*time)) return std::nullopt;
    const auto percent = parseInt64(fields[1]);
    if (!percent || *percent < 0 || *percent > 100) return std::nullopt;
    // A three-field line predates the plugged field: its one flag stands for both.
    return Sample{Date{*time}, *percent, fields[2] == "1", fields[count - 1] == "1"};
}

std::string HistoryStore::line(const Sample& sample) {
    const auto seconds = writableTime(sample.time.seconds) ? static_cast<std::int64_t>(sample.time.seconds) : 0;
    return std::to_string(seconds) + ',' + std::to_string(sample.percent) + ',' + (sample.charging ? '1' : '0') +
           ',' + (sample.plugged ? '1' : '0') + '\n';
}

HistoryStore::HistoryStore(std::optional<Path> url_, Date now, const FileLog& log) : url(std::move(url_)) {
    if (!url) return;
    const auto bytes = readUserFile(*url, maximumFileBytes, Links::refuse, UserFile::appendedTo, log);
    if (!bytes) return;
    // A stray invalid byte must not hide the whole history; the line parser drops the
    // line it lands in. Valid text (the usual case) is read where it lies.
    std::string repaired;
    std::string_view text = *bytes;
    if (!isValidUtf8(text)) text = repaired = decodeUtf8Lossy(text);
    samples.reserve(text.size() / 16);
    std::size_t parsed = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        auto sample = parse(line);
        if (!sample) continue;
        ++parsed;
        if (now - sample->time <= window) samples.push_back(*sample);
    }
    if (samples.size() < parsed) {
        std::string kept;
        kept.reserve(samples.size() * 20);
        for (const auto& sample : samples) kept += line(sample);
        writeFileAtomically(*url, kept);  // a failed trim is retried at the next start
    }
}

void HistoryStore::append(const Sample& sample) {
    samples.push_back(sample);
    if (!url) return;
    // Existing but unopenable files are left alone; a missing one is created with its folder.
    appendToFile(*url, line(sample), /*separate=*/true);
}

std::vector<std::optional<Sample>> buckets(const std::vector<Sample>& samples, Date now, double span, int count) {
    if (count < 1) return {};
    std::vector<std::optional<Sample>> columns(static_cast<std::size_t>(count));
    if (!(span > 0)) return columns;
    const double width = span / count;
    for (const auto& sample : samples) {
        const double age = now - sample.time;
        if (!(age >= 0 && age < span)) continue;
        // Rounding can put an age just below `span` one column past the oldest.
        const double steps = std::floor(age / width);
        const auto back = static_cast<std::int64_t>(std::min(steps, static_cast<double>(count - 1)));
        columns[static_cast<std::size_t>(count - 1 - back)] = sample;
    }
    return columns;
}

}  // namespace norvane
