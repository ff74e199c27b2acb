#include "app/update/Updates.h"

#include <cmath>

#include "platform/CommandLine.h"
#include "platform/Http.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::size_t maxVersionCharacters = 20;
constexpr std::size_t maxNotes = 3;
constexpr std::size_t maxNoteCharacters = 240;
constexpr std::size_t hashDigits = 64;
// A feed is a few hundred bytes; anything near this is no feed, and is not held in memory.
constexpr std::size_t maxFeedBytes = 1 << 20;

bool isVersionText(const std::string& text) {
    const std::size_t count = characterCount(text);
    if (count < 1 || count > maxVersionCharacters) return false;
    const auto codePoints = decodeUtf8(text);
    if (!codePoints) return false;
    for (const char32_t c : *codePoints)
        if (c != U'.' && !isUnicodeNumber(c)) return false;
    return true;
}

// A number that is exactly a signed 64-bit integer: 12 and 12.0, not 12.5.
std::optional<std::int64_t> exactInteger(const Value& value) {
    if (value.isInteger()) return value.longLongValue();
    const auto real = value.doubleValue();
    if (!real || !std::isfinite(*real) || std::trunc(*real) != *real) return std::nullopt;
    // 2^63 itself is out of range; the lower end -2^63 is in it.
    if (*real < -9223372036854775808.0 || *real >= 9223372036854775808.0) return std::nullopt;
    return static_cast<std::int64_t>(*real);
}

// Hexadecimal digits, the fullwidth forms included.
bool isHexDigit(char32_t c) {
    const auto in = [c](char32_t low, char32_t high) { return c >= low && c <= high; };
    return in(U'0', U'9') || in(U'a', U'f') || in(U'A', U'F') || in(U'\uFF10', U'\uFF19') || in(U'\uFF21', U'\uFF26') ||
           in(U'\uFF41', U'\uFF46');
}

std::optional<std::string> hashOf(const Value* value) {
    if (!value || !value->isString()) return std::nullopt;
    const auto codePoints = decodeUtf8(*value->asString());
    if (!codePoints || codePoints->size() != hashDigits) return std::nullopt;
    for (const char32_t c : *codePoints)
        if (!isHexDigit(c)) return std::nullopt;
    return lowercased(*value->asString());
}

std::vector<std::string> notesOf(const Value* value) {
    std::vector<std::string> notes;
    if (!value || !value->isArray()) return notes;
    for (const Value& item : *value->asArray()) {
        if (notes.size() == maxNotes) break;
        if (item.isString()) notes.push_back(firstCharacters(*item.asString(), maxNoteCharacters));
    }
    return notes;
}

}  // namespace

std::optional<AvailableUpdate> parseLatestRelease(std::string_view bytes) {
    const auto root = parseJson(bytes);
    if (!root || !root->isDictionary() || root->asDictionary()->empty()) return std::nullopt;
    const Value* version = root->find("version");
    if (!version || !version->isString() || !isVersionText(*version->asString())) return std::nullopt;
    const Value* buildValue = root->find("build");
    const auto build = buildValue && buildValue->isNumber() ? exactInteger(*buildValue) : std::nullopt;
    if (!build || *build < 1) return std::nullopt;
    return AvailableUpdate{*version->asString(), *build, notesOf(root->find("notes")), hashOf(root->find("sha256"))};
}

std::optional<AvailableUpdate> Updates::latest() const {
    const auto response = httpGet({source(), "application/json", idleLimit_, deadline_}, maxFeedBytes);
    if (!response || response->status != 200) return std::nullopt;
    return parseLatestRelease(response->body);
}

std::optional<std::string> Updates::argument(std::string_view flag) const { return argumentAfter(arguments_, flag); }

std::string Updates::address(std::string_view flag, std::string_view path) const {
    if (auto given = argument(flag); given && isUrl(*given)) return std::move(*given);
    return std::string(website) + std::string(path);
}

std::string Updates::source() const { return address("--update-source", "/version.json"); }

std::optional<std::int64_t> Updates::runningBuild() const {
    if (const auto pretended = argument("--update-as"))
        if (const auto build = parseInt64(*pretended)) return build;
    const auto version = bundle_.version();
    return version ? parseInt64(*version) : std::nullopt;
}

std::string Updates::runningVersion() const {
    const auto shortVersion = bundle_.shortVersion();
    if (!shortVersion) return "development build";
    const auto build = runningBuild();
    return build ? *shortVersion + " (" + std::to_string(*build) + ")" : *shortVersion;
}

}  // namespace norvane
