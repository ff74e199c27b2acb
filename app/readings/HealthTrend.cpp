#include "app/readings/HealthTrend.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/analysis/AppLedger.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr double int64Limit = 9223372036854775808.0;  // 2^63

// A JSON number that is a whole number within range: 4000 and 4000.0, not 4000.5.
std::optional<std::int64_t> wholeNumber(const Value* value) {
    if (!value) return std::nullopt;
    if (value->isInteger()) return value->longLongValue();
    const auto real = value->isNumber() ? value->doubleValue() : std::nullopt;
    if (!real || std::trunc(*real) != *real || *real < -int64Limit || *real >= int64Limit) return std::nullopt;
    return static_cast<std::int64_t>(*real);
}

std::optional<HealthPoint> decodePoint(const Value& entry) {
    if (!entry.isDictionary()) return std::nullopt;
    const Value* day = entry.find("day");
    const auto capacity = wholeNumber(entry.find("capacity"));
    const auto cycles = wholeNumber(entry.find("cycles"));
    if (!day || !day->isString() || !capacity || !cycles) return std::nullopt;
    HealthPoint point{*day->asString(), *capacity, std::nullopt, *cycles};
    // A missing health and a null one both mean "not known".
    if (const Value* health = entry.find("health"); health && !health->isNull()) {
        point.health = wholeNumber(health);
        if (!point.health) return std::nullopt;
    }
    return point;
}

// Every entry must decode; one foreign entry makes the whole file undecodable.
std::optional<std::vector<HealthPoint>> decode(std::string_view text) {
    const auto root = parseJson(text);
    if (!root || !root->isArray()) return std::nullopt;
    std::vector<HealthPoint> points;
    for (const Value& entry : *root->asArray()) {
        auto point = decodePoint(entry);
        if (!point) return std::nullopt;
        points.push_back(*std::move(point));
    }
    return points;
}

void sortByDay(std::vector<HealthPoint>& points) {
    std::stable_sort(points.begin(), points.end(),
                     [](const HealthPoint& a, const HealthPoint& b) { return a.day < b.day; });
}

// A day key back to the start of that day; absent unless it holds exactly three numbers.
std::optional<Date> dateOfDay(const std::string& day, const Calendar& calendar) {
    std::vector<std::int64_t> numbers;
    for (const auto piece : splitNonEmpty(day, '-'))
        if (const auto number = parseInt64(piece)) numbers.push_back(*number);
    if (numbers.size() != 3) return std::nullopt;
    for (const auto number : numbers)
        if (number > std::numeric_limits<int>::max()) return std::nullopt;  // beyond any calendar
    return calendar.date(static_cast<int>(numbers[0]), static_cast<int>(numbers[1]), static_cast<int>(numbers[2]));
}

// The mean capacity of a run of points, in floating point so that no sum overflows.
template <typename It>
double meanCapacity(It first, It last) {
    double sum = 0;
    for (auto it = first; it != last; ++it) sum += static_cast<double>(it->capacity);
    return sum / static_cast<double>(std::distance(first, last));
}

}  // namespace

HealthTrend HealthTrend::load(const Path& url, const FileLog& log) {
    const auto bytes = readUserFile(url, maximumFileBytes, Links::refuse, UserFile::savedWhole, log);
    if (!bytes) return {};
    auto points = decode(*bytes);
    if (!points) {
        setAsideUndecodable(url, log);  // when even this fails the save that follows will most likely fail too
        return {};
    }
    HealthTrend trend;
    for (auto& point : *points)
        if (point.capacity > 0) trend.points.push_back(std::move(point));
    sortByDay(trend.points);
    return trend;
}

bool HealthTrend::save(const Path& url) const {
    if (url.has_parent_path()) createDirectories(url.parent_path());  // a failure shows in the write
    // Written by hand to keep the keys in their fixed order: day, capacity, health, cycles.
    std::string text = "[";
    for (const auto& point : points) {
        if (text.size() > 1) text += ',';
        text += "{\"day\":" + writeJson(Value::string(point.day)).value_or("\"\"");
        text += ",\"capacity\":" + std::to_string(point.capacity);
        if (point.health) text += ",\"health\":" + std::to_string(*point.health);
        text += ",\"cycles\":" + std::to_string(point.cycles) + "}";
    }
    text += "]";
    return writeFileAtomically(url, text);
}

void HealthTrend::record(std::int64_t capacity, std::optional<std::int64_t> health, std::int64_t cycles, Date now,
                         const Calendar& calendar) {
    if (capacity < 1) return;  // no battery: nothing to record, nothing to drop
    const std::string today = AppLedger::day(now, calendar);
    const auto cutoffDate = calendar.addingYears(now, -keptYears);
    const std::optional<std::string> cutoff =
        cutoffDate ? std::optional(AppLedger::day(*cutoffDate, calendar)) : std::nullopt;
    std::erase_if(points, [&](const HealthPoint& point) {
        return point.day == today || (cutoff && point.day < *cutoff);
    });
    points.push_back({today, capacity, health, cycles});
    sortByDay(points);
}

std::vector<std::optional<HealthMonth>> HealthTrend::monthly(int months, Date now, std::int64_t design,
                                                             const Calendar& calendar) const {
    if (months <= 0) return {};
    std::vector<std::optional<HealthMonth>> out(static_cast<std::size_t>(months));
    const auto today = calendar.parts(now);
    const auto start = today ? calendar.date(today->year, today->month, 1) : std::nullopt;
    if (design <= 0 || !start) return out;
    for (int i = 0; i < months; ++i) {
        const auto month = calendar.addingMonths(*start, i - (months - 1));
        if (!month) continue;
        const std::string prefix = AppLedger::day(*month, calendar).substr(0, 7);
        double sum = 0;
        std::size_t count = 0;
        const HealthPoint* last = nullptr;
        for (const auto& point : points) {
            if (!point.day.starts_with(prefix)) continue;
            sum += static_cast<double>(point.capacity);
            count += 1;
            last = &point;
        }
        if (!last) continue;
        const double mean = sum / static_cast<double>(count);
        out[static_cast<std::size_t>(i)] = HealthMonth{*month, mean / static_cast<double>(design) * 100, last->cycles};
    }
    return out;
}

std::optional<HealthChange> HealthTrend::change(Date now, std::int64_t design, const Calendar& calendar) const {
    const std::string today = AppLedger::day(now, calendar);
    std::vector<HealthPoint> past;
    for (const auto& point : points)
        if (point.day <= today) past.push_back(point);
    if (past.empty() || design < 1) return std::nullopt;
    const auto first = dateOfDay(past.front().day, calendar);
    const auto last = dateOfDay(past.back().day, calendar);
    if (!first || !last) return std::nullopt;
    const auto days = calendar.daysBetween(*first, *last);
    if (!days || *days < 30) return std::nullopt;

    const auto k = static_cast<std::ptrdiff_t>(std::min<std::size_t>(7, past.size() / 2));
    const double early = meanCapacity(past.begin(), past.begin() + k);
    const double late = meanCapacity(past.end() - k, past.end());
    const double delta = std::round((late - early) / static_cast<double>(design) * 100);  // halves away from zero
    std::int64_t cycles = 0;
    // Figures from a damaged file may be absurd; they give no change rather than a wrapped one.
    if (!(std::abs(delta) < int64Limit) || __builtin_sub_overflow(past.back().cycles, past.front().cycles, &cycles))
        return std::nullopt;
    // A replaced battery counts from zero again: it has run no cycles fewer than none.
    return HealthChange{static_cast<std::int64_t>(delta), *first, std::max<std::int64_t>(cycles, 0)};
}

HealthTrend HealthTrend::demo(Date now, std::int64_t design, const Calendar& calendar) {
    HealthTrend trend;
    for (int d = 364; d >= 0; --d) {
        const auto date = calendar.addingDays(now, -d);
        if (!date) continue;
        const double t = (364.0 - d) / 364.0;
        const double h = 0.97 - 0.04 * t;
        const double capacity = std::trunc((std::sin(d * 1.7) * 0.006 + h) * static_cast<double>(design));
        if (!(capacity > 0 && capacity < int64Limit)) continue;
        trend.record(static_cast<std::int64_t>(capacity), static_cast<std::int64_t>(h * 100),
                     static_cast<std::int64_t>(t * 140) + 180, *date, calendar);
    }
    return trend;
}

}  // namespace norvane
