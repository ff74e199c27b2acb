#include "app/readings/HistoryStore.h"

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
    const auto fields = splitNonEmpty(line, ',');
    if (fields.size() != 3 && fields.size() != 4) return std::nullopt;
    const auto time = parseDouble(fields[0]);
    if (!time || !writableTime(*time)) return std::nullopt;
    const auto percent = parseInt64(fields[1]);
    if (!percent || *percent < 0 || *percent > 100) return std::nullopt;
    // A three-field line predates the plugged field: its one flag stands for both.
    return Sample{Date{*time}, *percent, fields[2] == "1", fields.back() == "1"};
}

std::string HistoryStore::line(const Sample& sample) {
    const auto seconds = writableTime(sample.time.seconds) ? static_cast<std::int64_t>(sample.time.seconds) : 0;
    return std::to_string(seconds) + ',' + std::to_string(sample.percent) + ',' + (sample.charging ? '1' : '0') +
           ',' + (sample.plugged ? '1' : '0') + '\n';
}

HistoryStore::HistoryStore(std::optional<Path> url_, Date now) : url(std::move(url_)) {
    if (!url) return;
    const auto bytes = readFile(*url);
    if (!bytes) return;
    // A stray invalid byte must not hide the whole history; the line parser drops the
    // line it lands in.
    const std::string text = decodeUtf8Lossy(*bytes);
    std::size_t parsed = 0;
    for (std::string_view line : splitNonEmpty(text, '\n')) {
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
