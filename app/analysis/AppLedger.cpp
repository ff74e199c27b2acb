#include "app/analysis/AppLedger.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/PropertyList.h"

namespace norvane {
namespace {

// The file's shape exactly: an object of objects of numbers. Anything else counts as
// undecodable, so a partly foreign file is kept whole rather than silently trimmed.
std::optional<AppLedger> decode(std::string_view text) {
    const auto root = parseJson(text);
    if (!root || !root->isDictionary()) return std::nullopt;
    AppLedger ledger;
    for (const auto& [key, apps] : *root->asDictionary()) {
        if (!apps.isDictionary()) return std::nullopt;
        auto& entry = ledger.days[key];
        for (const auto& [id, energy] : *apps.asDictionary()) {
            const auto value = energy.isNumber() ? energy.doubleValue() : std::nullopt;
            if (!value) return std::nullopt;
            entry[id] = *value;
        }
    }
    return ledger;
}

}  // namespace

std::string AppLedger::day(Date date, const Calendar& calendar) {
    const auto parts = calendar.parts(date).value_or(DateParts{});
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
    return text;
}

bool AppLedger::add(const std::vector<AppUsage>& apps, double seconds, Date now, const Calendar& calendar) {
    if (!(seconds > 0) || !std::isfinite(seconds)) return false;
    const auto key = day(now, calendar);
    std::map<std::string, double>* today = nullptr;  // created only when something is added
    if (const auto found = days.find(key); found != days.end()) today = &found->second;
    bool changed = false, created = false;
    for (const auto& app : apps) {
        double sum = seconds * app.impact;
        std::map<std::string, double>::iterator entry;
        const bool known = today && (entry = today->find(app.id)) != today->end();
        if (known) sum += entry->second;
        // One non-finite figure would make every later save fail to encode.
        if (!std::isfinite(sum)) continue;
        if (known) {
            changed |= entry->second != sum;
            entry->second = sum;
            continue;
        }
        if (!today) today = &days[key], created = true;
        (*today)[app.id] = sum;
        changed = true;
    }
    // The keys' text order is date order, so the oldest days are at the front. Today's key
    // made just now and dropped at once (a clock set a month back) changes nothing.
    while (days.size() > maxDays) {
        changed = !(created && days.begin()->first == key);
        days.erase(days.begin());
    }
    return changed;
}

std::vector<AppUsage> AppLedger::totals(int count, Date now, const Calendar& calendar) const {
    std::map<std::string, double> sums;
    for (int i = 0; i < count; ++i) {
        const auto date = calendar.addingDays(now, -i);
        if (!date) continue;
        const auto found = days.find(day(*date, calendar));
        if (found == days.end()) continue;
        for (const auto& [id, energy] : found->second) sums[id] += energy;
    }
    std::vector<AppUsage> out;
    out.reserve(sums.size());
    for (const auto& [id, energy] : sums) out.push_back({id, appName(id), energy, 0});
    std::stable_sort(out.begin(), out.end(), [](const AppUsage& a, const AppUsage& b) { return a.impact > b.impact; });
    return out;
}

bool AppLedger::save(const Path& url) const {
    if (url.has_parent_path()) createDirectories(url.parent_path());  // a failure shows in the write
    // Filled in place: moving whole dictionaries into values trips GCC's uninitialised-use warning.
    Value root = Value::dictionary({});
    for (const auto& [key, apps] : days) {
        auto& entry = *root.asDictionary()->emplace(key, Value::dictionary({})).first->second.asDictionary();
        for (const auto& [id, energy] : apps) entry.emplace(id, Value::real(energy));
    }
    const auto text = writeJson(root);
    return text && writeFileAtomically(url, *text);
}

AppLedger AppLedger::load(const Path& url, const FileLog& log) {
    const auto bytes = readUserFile(url, maximumFileBytes, Links::refuse, UserFile::savedWhole, log);
    if (!bytes) return {};
    if (auto ledger = decode(*bytes)) return *std::move(ledger);
    setAsideUndecodable(url, log);  // when even this fails the save that follows will most likely fail too
    return {};
}

double AppLedger::sampleSeconds(double sinceLast) {
    if (!(sinceLast > 0)) return 0;  // also NaN
    return std::min(sinceLast, maxSampleSeconds);
}

}  // namespace norvane
