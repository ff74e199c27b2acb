#include "platform/UserDefaults.h"

#include <cmath>
#include <limits>

#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Blanks, then an optional sign; returns whether the sign was a minus.
bool skipBlanksAndSign(std::string_view& text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    return negative;
}

// What a text reads as where a Boolean is asked for: "YES", "true", "1", "  007" are true.
bool textAsBoolean(std::string_view text) {
    skipBlanksAndSign(text);
    while (!text.empty() && text.front() == '0') text.remove_prefix(1);
    if (text.empty()) return false;
    const char c = text.front();
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// The integer a text starts with: "42", " -7 apples" (-7); 0 without digits. Held at the
// integer's ends.
std::int64_t textAsInteger(std::string_view text) {
    const bool negative = skipBlanksAndSign(text);
    std::uint64_t magnitude = 0;
    constexpr std::uint64_t cap = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        magnitude = magnitude > (cap - digit) / 10 ? cap : magnitude * 10 + digit;
    }
    if (negative) return magnitude >= cap ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(magnitude);
    return magnitude >= cap ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(magnitude);
}

}  // namespace

Path UserDefaults::fileFor(std::string_view domain) { return preferencesFolder() / (std::string(domain) + ".plist"); }

UserDefaults::UserDefaults(Path file, const FileLog& log) : file_(std::move(file)) {
    const auto bytes = readUserFile(file_, maximumFileBytes, Links::follow, UserFile::savedWhole, log);
    if (!bytes) return;
    auto plist = parsePropertyList(*bytes);
    if (plist && plist->isDictionary()) {
        entries_ = std::move(*plist->asDictionary());
        return;
    }
    setAsideUndecodable(file_, log);
}

std::optional<Value> UserDefaults::object(std::string_view key) const {
    const Value* entry = find(entries_, key);
    if (!entry) return std::nullopt;
    return *entry;
}

bool UserDefaults::boolean(std::string_view key) const {
    const Value* entry = find(entries_, key);
    if (!entry) return false;
    if (const auto b = entry->boolValue()) return *b;
    if (const auto d = entry->doubleValue()) return *d != 0;
    if (const auto* s = entry->asString()) return textAsBoolean(*s);
    return false;
}

std::int64_t UserDefaults::integer(std::string_view key) const {
    const Value* entry = find(entries_, key);
    if (!entry) return 0;
    if (const auto n = entry->longLongValue()) return *n;
    if (const auto b = entry->boolValue()) return *b ? 1 : 0;
    if (const auto* s = entry->asString()) return textAsInteger(*s);
    return 0;
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
    const Value* entry = find(entries_, key);
    if (!entry) return std::nullopt;
    if (const auto* s = entry->asString()) return *s;
    if (entry->isInteger()) return std::to_string(*entry->longLongValue());
    if (const auto d = entry->doubleValue()) return formatDouble(*d);
    return std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArray(std::string_view key) const {
    const Value* entry = find(entries_, key);
    const auto* list = entry ? entry->asArray() : nullptr;
    if (!list) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(list->size());
    for (const auto& item : *list) {
        const auto* s = item.asString();
        if (!s) return std::nullopt;
        out.push_back(*s);
    }
    return out;
}

std::optional<Value::Data> UserDefaults::data(std::string_view key) const {
    const Value* entry = find(entries_, key);
    const auto* bytes = entry ? entry->asData() : nullptr;
    if (!bytes) return std::nullopt;
    return *bytes;
}

std::optional<bool> UserDefaults::booleanObject(std::string_view key) const {
    const Value* entry = find(entries_, key);
    return entry ? entry->boolValue() : std::nullopt;
}

std::optional<std::int64_t> UserDefaults::integerObject(std::string_view key) const {
    const Value* entry = find(entries_, key);
    if (!entry || !entry->isNumber()) return std::nullopt;
    if (entry->isInteger()) return entry->longLongValue();
    const double d = *entry->doubleValue();
    // Only a whole number that an integer holds exactly; 2^63 itself is already beyond it.
    if (!(d >= -0x1p63 && d < 0x1p63) || std::trunc(d) != d) return std::nullopt;
    return static_cast<std::int64_t>(d);
}

std::optional<Date> UserDefaults::date(std::string_view key) const {
    const Value* entry = find(entries_, key);
    const Date* when = entry ? entry->asDate() : nullptr;
    if (!when) return std::nullopt;
    return *when;
}

bool UserDefaults::set(std::string_view key, Value value) {
    if (value.isNull()) return remove(key);
    entries_.insert_or_assign(std::string(key), std::move(value));
    return write();
}

bool UserDefaults::remove(std::string_view key) {
    if (const auto it = entries_.find(key); it != entries_.end()) entries_.erase(it);
    return write();
}

bool UserDefaults::write() const {
    if (file_.has_parent_path() && !createDirectories(file_.parent_path())) return false;
    return writeFileAtomically(file_, writePropertyList(Value::dictionary(entries_)));
}

}  // namespace norvane
