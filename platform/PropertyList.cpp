#include "platform/PropertyList.h"

#include <openssl/evp.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <sstream>
#include <cmath>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "platform/Text.h"

namespace norvane {
namespace {

// Both readers refuse nesting deeper than this: such input is undecodable, and the limit
// keeps a hostile file from overflowing the stack.
constexpr int maxDepth = 512;

std::string_view trimmed(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<Value::Data> decodeBase64(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        clean.push_back(c);
    }
    if (clean.size() % 4 != 0) return std::nullopt;
    Value::Data out(clean.size() / 4 * 3);
    if (clean.empty()) return out;
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(clean.data()),
                                  static_cast<int>(clean.size()));
    if (n < 0) return std::nullopt;
    // EVP_DecodeBlock counts the padding as zero bytes; drop them.
    std::size_t size = static_cast<std::size_t>(n);
    if (clean.back() == '=') --size;
    if (clean.size() >= 2 && clean[clean.size() - 2] == '=') --size;
    out.resize(size);
    return out;
}

std::string encodeBase64(const Value::Data& data) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(),
                                  static_cast<int>(data.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::optional<Value> parseIntegerText(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) return Value::integer(value);
    std::uint64_t unsignedValue = 0;
    auto [uend, uec] = std::from_chars(text.data(), text.data() + text.size(), unsignedValue);
    if (uec == std::errc() && uend == text.data() + text.size() && !text.empty())
        return Value::integer(static_cast<std::int64_t>(unsignedValue));
    return std::nullopt;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

// The one form a property list writes a date in: "2026-12-08T10:00:00Z" (UTC).
std::optional<Date> parseDate(std::string_view text) {
    text = trimmed(text);
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t length) -> std::optional<unsigned> {
        unsigned value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        }
        return value;
    };
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const auto hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    const std::int64_t days = daysFromCivil(*year, *month, *day);
    // A day beyond the month's end (February 30) does not come back as itself.
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    if (y != *year || m != *month || d != *day) return std::nullopt;
    return Date{static_cast<double>(days * 86'400 + *hour * 3600 + *minute * 60 + *second)};
}

// Whole seconds, as a property list keeps them; dates beyond years 0…9999 are held there.
std::string dateText(Date date) {
    constexpr double first = -62'167'219'200;  // 0000-01-01T00:00:00Z
    constexpr double last = 253'402'300'799;   // 9999-12-31T23:59:59Z
    const double clamped = std::isnan(date.seconds) ? 0 : std::clamp(std::floor(date.seconds), first, last);
    const auto seconds = static_cast<std::int64_t>(clamped);
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86'399) / 86'400;
    const std::int64_t inDay = seconds - days * 86'400;
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    const auto hour = static_cast<int>(inDay / 3600), minute = static_cast<int>(inDay / 60 % 60),
               second = static_cast<int>(inDay % 60);
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(y), m, d, hour, minute, second);
    return out;
}

// Where a value cannot be read, `problem` says which element (the first one found).
std::optional<Value> parseNode(const pugi::xml_node& node, int depth, std::string& problem) {
    const std::string_view name = node.name();
    const auto fail = [&](std::string_view why = "is not a property-list value") -> std::optional<Value> {
        if (problem.empty())
            problem = "<" + std::string(name) + "> at byte " + std::to_string(node.offset_debug()) + " " + std::string(why);
        return std::nullopt;
    };
    if (depth > maxDepth) return fail("nests too deeply");
    if (name == "dict") {
        Value::Dictionary dict;
        for (auto child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            if (std::string_view(child.name()) != "key") return fail();
            auto valueNode = child.next_sibling();
            while (valueNode && valueNode.type() != pugi::node_element) valueNode = valueNode.next_sibling();
            if (!valueNode) return fail();
            auto value = parseNode(valueNode, depth + 1, problem);
            if (!value) return std::nullopt;
            dict.insert_or_assign(child.text().get(), std::move(*value));
            child = valueNode;
        }
        return Value::dictionary(std::move(dict));
    }
    if (name == "array") {
        Value::Array array;
        for (auto child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            auto value = parseNode(child, depth + 1, problem);
            if (!value) return std::nullopt;
            array.push_back(std::move(*value));
        }
        return Value::array(std::move(array));
    }
    if (name == "string") return Value::string(node.text().get());
    if (name == "date") {
        const auto date = parseDate(node.text().get());
        if (!date) return fail();
        return Value::date(*date);
    }
    if (name == "integer") {
        auto value = parseIntegerText(node.text().get());
        return value ? value : fail();
    }
    if (name == "real") {
        auto d = parseDouble(trimmed(node.text().get()));
        if (!d) return fail();
        return Value::real(*d);
    }
    if (name == "true") return Value::boolean(true);
    if (name == "false") return Value::boolean(false);
    if (name == "data") {
        auto bytes = decodeBase64(node.text().get());
        if (!bytes) return fail();
        return Value::data(std::move(*bytes));
    }
    return fail();
}

void writeNode(pugi::xml_node parent, const Value& value) {
    switch (value.kind()) {
    case Value::Kind::null: parent.append_child("string"); break;
    case Value::Kind::integer:
        parent.append_child("integer").text().set(std::to_string(*value.longLongValue()).c_str());
        break;
    case Value::Kind::real:
        parent.append_child("real").text().set(formatDouble(*value.doubleValue()).c_str());
        break;
    case Value::Kind::boolean: parent.append_child(*value.boolValue() ? "true" : "false"); break;
    case Value::Kind::string: parent.append_child("string").text().set(value.asString()->c_str()); break;
    case Value::Kind::data: parent.append_child("data").text().set(encodeBase64(*value.asData()).c_str()); break;
    case Value::Kind::date: parent.append_child("date").text().set(dateText(*value.asDate()).c_str()); break;
    case Value::Kind::array: {
        auto node = parent.append_child("array");
        for (const auto& item : *value.asArray()) writeNode(node, item);
        break;
    }
    case Value::Kind::dictionary: {
        auto node = parent.append_child("dict");
        for (const auto& [key, item] : *value.asDictionary()) {
            node.append_child("key").text().set(key.c_str());
            writeNode(node, item);
        }
        break;
    }
    }
}

// Builds a Value straight from the JSON parser's events, so that no second tree is made.
// Containers nest no deeper than the property-list reader allows.
class ValueBuilder {
public:
    using Json = nlohmann::json;

    bool null() { return add(Value()); }
    bool boolean(bool value) { return add(Value::boolean(value)); }
    bool number_integer(Json::number_integer_t value) { return add(Value::integer(value)); }
    bool number_unsigned(Json::number_unsigned_t value) {
        if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return add(Value::integer(static_cast<std::int64_t>(value)));
        return add(Value::real(static_cast<double>(value)));
    }
    bool number_float(Json::number_float_t value, const Json::string_t&) { return add(Value::real(value)); }
    bool string(Json::string_t& value) { return add(Value::string(std::move(value))); }
    bool binary(Json::binary_t&) { return false; }  // JSON text has none
    bool start_object(std::size_t) { return open(Value::dictionary({})); }
    bool key(Json::string_t& key) {
        open_.back().key = std::move(key);
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(Value::array({})); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

    std::optional<Value> result;

private:
    struct Open {
        Value container;
        std::string key;  // of the member being read, in an object
    };

    bool add(Value value) {
        if (open_.size() > static_cast<std::size_t>(maxDepth)) return false;
        if (open_.empty()) {
            result = std::move(value);
            return true;
        }
        Open& into = open_.back();
        if (auto* array = into.container.asArray()) array->push_back(std::move(value));
        else into.container.asDictionary()->insert_or_assign(std::move(into.key), std::move(value));
        return true;
    }
    bool open(Value container) {
        if (open_.size() > static_cast<std::size_t>(maxDepth)) return false;
        open_.push_back({std::move(container), {}});
        return true;
    }
    bool close() {
        Value done = std::move(open_.back().container);
        open_.pop_back();
        return add(std::move(done));
    }

    std::vector<Open> open_;
};

std::optional<nlohmann::json> toJson(const Value& value) {
    using nlohmann::json;
    switch (value.kind()) {
    case Value::Kind::null: return json(nullptr);
    case Value::Kind::integer: return json(*value.longLongValue());
    case Value::Kind::real: {
        const double d = *value.doubleValue();
        if (!std::isfinite(d)) return std::nullopt;
        return json(d);
    }
    case Value::Kind::boolean: return json(*value.boolValue());
    case Value::Kind::string: return json(*value.asString());
    case Value::Kind::data: return json(*value.asData());
    case Value::Kind::date: return json(dateText(*value.asDate()));
    case Value::Kind::array: {
        json out = json::array();
        for (const auto& item : *value.asArray()) {
            auto j = toJson(item);
            if (!j) return std::nullopt;
            out.push_back(std::move(*j));
        }
        return out;
    }
    case Value::Kind::dictionary: {
        json out = json::object();
        for (const auto& [key, item] : *value.asDictionary()) {
            auto j = toJson(item);
            if (!j) return std::nullopt;
            out[key] = std::move(*j);
        }
        return out;
    }
    }
    return std::nullopt;
}

}  // namespace

std::optional<Value> parsePropertyList(std::string_view xml) {
    std::string problem;
    return parsePropertyList(xml, problem);
}

std::optional<Value> parsePropertyList(std::string_view xml, std::string& problem) {
    pugi::xml_document doc;
    // Keep whitespace inside <string>: it is part of the value.
    const auto result = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
    if (!result) {
        problem = std::string(result.description()) + " at byte " + std::to_string(result.offset);
        return std::nullopt;
    }
    auto root = doc.child("plist");
    for (auto child = root.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element) return parseNode(child, 0, problem);
    problem = root ? "the <plist> element holds no value" : "no <plist> element";
    return std::nullopt;
}

std::string writePropertyList(const Value& value) {
    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    auto doctype = doc.append_child(pugi::node_doctype);
    doctype.set_value(R"(plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd")");
    auto plist = doc.append_child("plist");
    plist.append_attribute("version") = "1.0";
    writeNode(plist, value);
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

std::optional<Value> parseJson(std::string_view text) {
    ValueBuilder builder;
    if (!nlohmann::json::sax_parse(text.begin(), text.end(), &builder) || !builder.result) return std::nullopt;
    return std::move(builder.result);
}

std::optional<std::string> writeJson(const Value& value) {
    auto j = toJson(value);
    if (!j) return std::nullopt;
    return j->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<Value> readJsonObject(const Path& file) {
    if (!fileExists(file)) return Value::dictionary({});
    const auto text = readFile(file, maximumJsonObjectBytes);
    auto value = text ? parseJson(*text) : std::nullopt;
    if (!value || !value->isDictionary()) return std::nullopt;
    return value;
}

}  // namespace norvane
