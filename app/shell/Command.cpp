#include "app/shell/Command.h"

#include <climits>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/UrlComponents.h"

namespace norvane {
namespace {

// A decimal integer written the one canonical way: no plus sign, no leading zeros.
std::optional<std::int64_t> number(std::string_view text) {
    const auto value = parseInt64(text);
    if (!value || std::to_string(*value) != text) return std::nullopt;
    return value;
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Absolute, a bundle, no longer than the system takes, no way up and nothing a file name
// should not hold.
bool acceptableAppPath(std::string_view path) {
    if (!path.starts_with('/') || !path.ends_with(".app") || path.size() >= PATH_MAX) return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find('/', start), path.size());
        if (path.substr(start, end - start) == ".." || end - start > NAME_MAX) return false;
        start = end + 1;
    }
    const auto characters = decodeUtf8(path);
    return characters && std::none_of(characters->begin(), characters->end(), isControl);
}

std::optional<Command> awakeQuery(const QueryItem& item) {
    if (!item.value) return std::nullopt;
    const std::string& value = *item.value;
    if (item.name == "minutes") {
        const auto minutes = number(value);
        if (!minutes || *minutes < minimumAwakeMinutes || *minutes > maximumAwakeMinutes) return std::nullopt;
        return Command{Command::Awake{AwakeMode::timer(*minutes)}};
    }
    if (item.name == "mode") {
        if (value != "agents") return std::nullopt;
        return Command{Command::Awake{AwakeMode::agents()}};
    }
    if (item.name == "app") {
        if (!acceptableAppPath(value)) return std::nullopt;
        return Command{Command::Awake{AwakeMode::app(value)}};
    }
    return std::nullopt;
}

std::optional<Command> fromPieces(std::string_view word, const std::vector<std::string_view>& pieces,
                                  const std::vector<QueryItem>& query) {
    const std::size_t p = pieces.size(), q = query.size();
    if (word == "awake") {
        if (p == 0 && q == 0) return Command{Command::Awake{AwakeMode::untilStopped()}};
        if (p == 0 && q == 1) return awakeQuery(query.front());
        if (p == 1 && q == 0 && pieces[0] == "off") return Command{Command::AwakeOff{}};
        return std::nullopt;
    }
    if (word == "low-power" && p == 1 && q == 0) {
        if (pieces[0] == "on") return Command{Command::LowPower{true}};
        if (pieces[0] == "off") return Command{Command::LowPower{false}};
        return std::nullopt;
    }
    if (word == "limit" && p == 1 && q == 0) {
        const auto percent = number(pieces[0]);
        if (!percent || std::find(urlLimits.begin(), urlLimits.end(), *percent) == urlLimits.end()) return std::nullopt;
        return Command{Command::Limit{*percent}};
    }
    if (word == "charge-full" && p == 0 && q == 0) return Command{Command::ChargeFull{}};
    if (word == "open" && q == 0) {
        if (p == 0) return Command{Command::Open{std::nullopt}};
        if (p != 1) return std::nullopt;
        for (const Tab tab : allTabs)
            if (pieces[0] == lowercased(rawValue(tab))) return Command{Command::Open{tab}};
    }
    return std::nullopt;
}

}  // namespace

std::optional<Command> parseCommand(std::string_view url) {
    const auto components = UrlComponents::parse(url);
    if (!components || !components->scheme || lowercased(*components->scheme) != "norvane") return std::nullopt;
    if (components->user || components->password || components->port || components->fragment) return std::nullopt;
    const auto path = components->decodedPath();
    const auto query = components->queryItems();
    const auto host = components->decodedHost();
    if (!path || !query || !host) return std::nullopt;
    return fromPieces(lowercased(*host), splitNonEmpty(*path, '/'), *query);
}

}  // namespace norvane
