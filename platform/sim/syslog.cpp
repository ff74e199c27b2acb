// syslog: answers the one usage the app makes of the real command, a query of the
// power-management store:
//
//   syslog -d /var/log/powermanagement -F TEMPLATE [-k KEY [VALUE] ... [-o -k ...]]
//
// The store is the machine folder's syslog/powermanagement.json, a list of records (each
// an object of keys to strings or numbers). Each record that matches one of the `-o`
// separated groups (every `-k` of the group holds: the key exists, or has that value) is
// printed through the template: `$((Time)(JZ))` is the record's "Time" (seconds since
// 1970) as local time with its offset, `$(KEY)` and `$KEY` are a key's value, empty when
// the record lacks it. Without a store it prints nothing, as today's Macs do.

#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

constexpr std::string_view usage =
    "syslog: this machine answers only `syslog -d /var/log/powermanagement -F TEMPLATE [-k KEY [VALUE]] [-o -k …]`\n";
constexpr std::string_view timeStamp = "$((Time)(JZ))";

struct Condition {
    std::string key;
    std::optional<std::string> value;  // absent: the key only has to exist
};
using Group = std::vector<Condition>;

struct Query {
    std::string format;
    std::vector<Group> groups;  // none: every record
};

using Record = std::vector<std::pair<std::string, std::string>>;

bool bareKeyCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The template's pieces must all be ones we can print.
bool knownTemplate(std::string_view format) {
    for (auto at = format.find("$(("); at != std::string_view::npos; at = format.find("$((", at + 1))
        if (!format.substr(at).starts_with(timeStamp)) return false;
    return true;
}

std::optional<Query> parseQuery(int argc, char** argv) {
    Query query;
    bool store = false, format = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "-d" && hasValue) {
            if (std::string_view(argv[++i]) != "/var/log/powermanagement") return std::nullopt;
            store = true;
        } else if (option == "-F" && hasValue) {
            query.format = argv[++i];
            if (!knownTemplate(query.format)) return std::nullopt;
            format = true;
        } else if (option == "-k" && hasValue) {
            if (query.groups.empty()) query.groups.emplace_back();
            Condition condition{argv[++i], std::nullopt};
            if (i + 1 < argc && argv[i + 1][0] != '-') condition.value = argv[++i];
            // The three-argument form (key, operation, value) is not one we answer.
            if (i + 1 < argc && argv[i + 1][0] != '-') return std::nullopt;
            query.groups.back().push_back(std::move(condition));
        } else if (option == "-o") {
            if (query.groups.empty() || query.groups.back().empty() || i + 1 >= argc) return std::nullopt;
            query.groups.emplace_back();
        } else {
            return std::nullopt;
        }
    }
    if (!store || !format) return std::nullopt;
    return query;
}

std::optional<std::vector<Record>> readStore(std::string_view json) {
    const auto root = parseJson(json);
    if (!root || !root->isArray()) return std::nullopt;
    std::vector<Record> records;
    for (const Value& entry : *root->asArray()) {
        if (!entry.isDictionary()) return std::nullopt;
        Record record;
        for (const auto& [key, value] : *entry.asDictionary()) {
            if (value.isString()) record.emplace_back(key, *value.asString());
            else if (value.isInteger()) record.emplace_back(key, std::to_string(*value.longLongValue()));
            else if (value.isNumber()) record.emplace_back(key, formatDouble(*value.doubleValue()));
            else return std::nullopt;
        }
        records.push_back(std::move(record));
    }
    return records;
}

const std::string* find(const Record& record, std::string_view key) {
    for (const auto& [k, v] : record)
        if (k == key) return &v;
    return nullptr;
}

bool matches(const Record& record, const std::vector<Group>& groups) {
    if (groups.empty()) return true;
    for (const Group& group : groups) {
        bool all = true;
        for (const Condition& condition : group) {
            const std::string* value = find(record, condition.key);
            if (!value || (condition.value && *value != *condition.value)) all = false;
        }
        if (all) return true;
    }
    return false;
}

std::string render(std::string_view format, const Record& record, const Calendar& calendar) {
    std::string out;
    while (!format.empty()) {
        const auto dollar = format.find('$');
        out += format.substr(0, dollar);
        if (dollar == std::string_view::npos) break;
        format.remove_prefix(dollar);
        std::string_view key;
        if (format.starts_with(timeStamp)) {
            format.remove_prefix(timeStamp.size());
            const std::string* time = find(record, "Time");
            const auto seconds = time ? parseDouble(*time) : std::nullopt;
            if (seconds && std::isfinite(*seconds)) out += sim::logTimeStamp(Date{*seconds}, calendar, "");
            continue;
        }
        if (format.starts_with("$(") && format.find(')') != std::string_view::npos) {
            const auto close = format.find(')');
            key = format.substr(2, close - 2);
            format.remove_prefix(close + 1);
        } else {
            std::size_t end = 1;
            while (end < format.size() && bareKeyCharacter(format[end])) ++end;
            key = format.substr(1, end - 1);
            if (key.empty()) {
                out += '$';
                format.remove_prefix(1);
                continue;
            }
            format.remove_prefix(end);
        }
        if (const std::string* value = find(record, key)) out += *value;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const auto query = parseQuery(argc, argv);
    if (!query) {
        sim::writeError(usage);
        return 1;
    }
    const auto machine = sim::machine("syslog");
    if (!machine) return 1;
    const Path file = machine->file("syslog/powermanagement.json");
    if (!fileExists(file)) return 0;
    const auto text = readFile(file);
    const auto records = text ? readStore(*text) : std::nullopt;
    if (!records) {
        sim::writeError("syslog: " + file.string() + " is not a list of records\n");
        return 1;
    }
    const Calendar calendar = Calendar::current();
    std::string out;
    for (const Record& record : *records)
        if (matches(record, query->groups)) out += render(query->format, record, calendar) + "\n";
    sim::writeOut(out);
    return 0;
}
