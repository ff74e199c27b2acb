#pragma once
// A URL taken apart into its components, as a Mac's URL components do it: nothing is
// resolved or normalised, and every decoded part is checked. Text that is no URL (a
// character no URL may hold, a malformed authority or a broken percent escape anywhere)
// gives nothing.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

struct QueryItem {
    std::string name;
    std::optional<std::string> value;  // absent without "=", empty after "name="
    bool operator==(const QueryItem&) const = default;
};

struct UrlComponents {
    // As written, not decoded. An authority part ("//…") gives a host, maybe empty; a ":"
    // after the host gives a port, maybe empty; "@" gives a user, ":" within it a password;
    // "?" gives a query and "#" a fragment, both maybe empty.
    std::optional<std::string> scheme;
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::optional<std::string> host;
    std::optional<std::string> port;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;

    static std::optional<UrlComponents> parse(std::string_view url);

    // The host and the path percent-decoded; absent when the result is not valid UTF-8.
    std::optional<std::string> decodedHost() const;
    std::optional<std::string> decodedPath() const;
    // The query split at "&", each item at its first "=", names and values percent-decoded
    // ("+" stays a plus); none without a query; absent when a decoded part is not UTF-8.
    std::optional<std::vector<QueryItem>> queryItems() const;
};

// The text with every "%XX" replaced by its byte; absent for a "%" not followed by two
// hexadecimal digits or a result that is not valid UTF-8.
std::optional<std::string> percentDecoded(std::string_view text);

}  // namespace norvane
