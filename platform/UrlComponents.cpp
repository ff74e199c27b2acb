#include "platform/UrlComponents.h"

#include <algorithm>

#include "platform/Text.h"

namespace norvane {
namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return std::nullopt;
}

// Unreserved, reserved (brackets aside: no IP-literal host is read) and "%".
bool allowedInUrl(char c) {
    static constexpr std::string_view others = "-._~:/?#@!$&'()*+,;=%";
    return isAlpha(c) || isDigit(c) || others.find(c) != std::string_view::npos;
}

bool validEscapes(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 2 >= text.size() || !hexValue(text[i + 1]) || !hexValue(text[i + 2])) return false;
        i += 2;
    }
    return true;
}

bool validScheme(std::string_view scheme) {
    return !scheme.empty() && isAlpha(scheme.front()) && std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.';
    });
}

}  // namespace

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const auto high = i + 2 < text.size() ? hexValue(text[i + 1]) : std::nullopt;
        const auto low = high ? hexValue(text[i + 2]) : std::nullopt;
        if (!low) return std::nullopt;
        out += static_cast<char>(*high * 16 + *low);
        i += 2;
    }
    if (!isValidUtf8(out)) return std::nullopt;
    return out;
}

std::optional<UrlComponents> UrlComponents::parse(std::string_view url) {
    if (!std::all_of(url.begin(), url.end(), allowedInUrl) || !validEscapes(url)) return std::nullopt;
    UrlComponents out;
    std::string_view rest = url;
    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        out.fragment = std::string(rest.substr(hash + 1));
        if (out.fragment->find('#') != std::string::npos) return std::nullopt;
        rest = rest.substr(0, hash);
    }
    if (const auto mark = rest.find('?'); mark != std::string_view::npos) {
        out.query = std::string(rest.substr(mark + 1));
        rest = rest.substr(0, mark);
    }
    // A scheme ends at the first ":" that comes before any "/".
    if (const auto colon = rest.find(':'); colon != std::string_view::npos && colon < rest.find('/')) {
        if (!validScheme(rest.substr(0, colon))) return std::nullopt;
        out.scheme = std::string(rest.substr(0, colon));
        rest = rest.substr(colon + 1);
    }
    if (rest.starts_with("//")) {
        rest = rest.substr(2);
        const auto end = std::min(rest.find('/'), rest.size());
        std::string_view authority = rest.substr(0, end);
        rest = rest.substr(end);
        if (const auto at = authority.find('@'); at != std::string_view::npos) {
            const std::string_view userinfo = authority.substr(0, at);
            authority = authority.substr(at + 1);
            if (authority.find('@') != std::string_view::npos) return std::nullopt;
            const auto colon = userinfo.find(':');
            out.user = std::string(userinfo.substr(0, colon));
            if (colon != std::string_view::npos) out.password = std::string(userinfo.substr(colon + 1));
        }
        if (const auto colon = authority.find(':'); colon != std::string_view::npos) {
            const std::string_view port = authority.substr(colon + 1);
            if (!std::all_of(port.begin(), port.end(), isDigit)) return std::nullopt;
            out.port = std::string(port);
            authority = authority.substr(0, colon);
        }
        out.host = std::string(authority);
    }
    out.path = std::string(rest);
    return out;
}

std::optional<std::string> UrlComponents::decodedHost() const {
    return host ? percentDecoded(*host) : std::nullopt;
}

std::optional<std::string> UrlComponents::decodedPath() const { return percentDecoded(path); }

std::optional<std::vector<QueryItem>> UrlComponents::queryItems() const {
    std::vector<QueryItem> items;
    if (!query) return items;
    std::string_view rest = *query;
    if (rest.empty()) return items;
    while (true) {
        const auto amp = rest.find('&');
        const std::string_view item = rest.substr(0, amp);
        const auto equals = item.find('=');
        auto name = percentDecoded(item.substr(0, equals));
        if (!name) return std::nullopt;
        QueryItem decoded{std::move(*name), std::nullopt};
        if (equals != std::string_view::npos) {
            decoded.value = percentDecoded(item.substr(equals + 1));
            if (!decoded.value) return std::nullopt;
        }
        items.push_back(std::move(decoded));
        if (amp == std::string_view::npos) break;
        rest = rest.substr(amp + 1);
    }
    return items;
}

}  // namespace norvane
