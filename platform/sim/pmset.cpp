// pmset: the simulated power-management command. Each usage it answers is one function,
// listed in `usages`; any other usage is refused with a message on standard error and
// status 1.

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "platform/PowerSources.h"
#include "platform/PropertyList.h"
#include "platform/SmartChargeClient.h"
#include "platform/Text.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

using Rest = std::span<const std::string>;

int refuse();

// -g battlimit: the manual charge limits power management holds, one line each. It lists
// them only while the Mac runs from the adapter.
int battlimit(const Machine& machine, Rest rest) {
    if (!rest.empty()) return refuse();
    const auto service = readChargeService(machine);
    const bool onWallPower = MachinePowerSources(machine).providingSource() == acPower;
    // A runaway count in the state file must not print for ever.
    const std::int64_t count = service && onWallPower ? std::clamp<std::int64_t>(service->registrations, 0, 64) : 0;
    if (count == 0) {
        sim::writeOut("No charge limits registered\n");
        return 0;
    }
    std::string out = "Charge limits registered:\n";
    for (std::int64_t i = 0; i < count; ++i)
        out += " manualChargeLimit  " + std::to_string(service->limit) + "%\n";
    sim::writeOut(out);
    return 0;
}

// A line that begins with "{now-SECONDS}" gets the local time that many seconds before
// now as its time stamp, so a made-up log stays recent.
std::string withRecentStamps(std::string_view text) {
    const Date now = Date::now();
    const Calendar calendar = Calendar::current();
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        if (line.starts_with("{now-")) {
            const auto close = line.find('}');
            const auto seconds = close == std::string_view::npos ? std::nullopt : parseInt64(line.substr(5, close - 5));
            if (seconds && *seconds >= 0) {
                out += sim::logTimeStamp(now - static_cast<double>(*seconds), calendar, " ");
                line.remove_prefix(close + 1);
            }
        }
        out += line;
    }
    return out;
}

// -g log: the power-management log, pmset/log.txt; nothing when the machine has none.
int powerLog(const Machine& machine, Rest rest) {
    if (!rest.empty()) return refuse();
    const Path file = machine.file("pmset/log.txt");
    if (!fileExists(file)) return 0;
    const auto text = readFile(file);
    if (!text) {
        sim::writeError("pmset: cannot read " + file.string() + "\n");
        return 1;
    }
    sim::writeOut(withRecentStamps(*text));
    return 0;
}

// The order in which a Mac lists the settings it has; others follow alphabetically.
constexpr std::array<std::string_view, 14> macOrder = {
    "standby",      "Sleep On Power Button", "hibernatefile", "powernap",      "networkoversleep",
    "disksleep",    "sleep",                 "hibernatemode", "ttyskeepawake", "displaysleep",
    "tcpkeepalive", "powermode",             "lowpowermode",  "womp"};

std::string settingLine(std::string_view name, const Value& value) {
    std::string text;
    if (const auto* s = value.asString()) text = *s;
    else if (value.isInteger()) text = std::to_string(*value.integerValue());
    else return {};  // a Mac has no other kind of value here
    std::string line = " " + std::string(name);
    if (name.size() < 20) line.append(20 - name.size(), ' ');
    return line + " " + text + "\n";
}

// pmset/settings.json ("AC Power" and "Battery Power", each an object of settings); absent,
// with the error written, when it is not such an object.
std::optional<Value> settingsFile(const Machine& machine) {
    const Path file = machine.file("pmset/settings.json");
    const auto text = readFile(file);
    auto all = text ? parseJson(*text) : std::nullopt;
    if (all && all->isDictionary()) return all;
    sim::writeError("pmset: " + file.string() + " is not an object of power-source settings\n");
    return std::nullopt;
}

// The settings of the power source in use, in the order a Mac lists them.
std::vector<std::pair<std::string, const Value*>> inUse(const Machine& machine, const Value& all) {
    std::vector<std::pair<std::string, const Value*>> out;
    const Value* source = all.find(MachinePowerSources(machine).providingSource());
    if (!source || !source->isDictionary()) return out;
    const auto& values = *source->asDictionary();
    for (auto name : macOrder)
        if (const Value* value = find(values, name)) out.emplace_back(name, value);
    for (const auto& [name, value] : values)
        if (std::find(macOrder.begin(), macOrder.end(), name) == macOrder.end()) out.emplace_back(name, &value);
    return out;
}

// -g: the settings of the power source in use.
int settings(const Machine& machine, Rest rest) {
    if (!rest.empty()) return refuse();
    const auto all = settingsFile(machine);
    if (!all) return 1;
    std::string out = "System-wide power settings:\nCurrently in use:\n";
    for (const auto& [name, value] : inUse(machine, *all)) out += settingLine(name, *value);
    sim::writeOut(out);
    return 0;
}

// -g cap: what can be set on the power source in use. pmset/capabilities.txt as a Mac
// prints it (a dump can be dropped in), else the names of that source's settings.
int capabilities(const Machine& machine, Rest rest) {
    if (!rest.empty()) return refuse();
    const Path dump = machine.file("pmset/capabilities.txt");
    if (fileExists(dump)) {
        const auto text = readFile(dump);
        if (!text) {
            sim::writeError("pmset: cannot read " + dump.string() + "\n");
            return 1;
        }
        sim::writeOut(*text);
        return 0;
    }
    const auto all = settingsFile(machine);
    if (!all) return 1;
    std::string out = "Capabilities for " + MachinePowerSources(machine).providingSource() + ":\n";
    for (const auto& setting : inUse(machine, *all)) out += " " + setting.first + "\n";
    sim::writeOut(out);
    return 0;
}

// -b or -c, then one setting and its value: lowpowermode 0 or 1, powermode 0, 1 or 2. The
// change goes into pmset/settings.json for that source only, under the file's lock.
int change(const Machine& machine, std::string_view source, Rest rest) {
    if (rest.size() != 2) return refuse();
    const std::string& name = rest[0];
    const auto value = parseInt64(rest[1]);
    const std::int64_t highest = name == "lowpowermode" ? 1 : name == "powermode" ? 2 : -1;
    if (!value || *value < 0 || *value > highest || rest[1] != std::to_string(*value)) return refuse();
    const Path file = machine.file("pmset/settings.json");
    const FileLock lock(file);
    const auto text = lock.held() ? readFile(file) : std::nullopt;
    auto all = text ? parseJson(*text) : std::nullopt;
    if (!all || !all->isDictionary()) {
        sim::writeError("pmset: " + file.string() + " is not an object of power-source settings\n");
        return 1;
    }
    Value& settings = (*all->asDictionary())[std::string(source)];
    if (!settings.isDictionary()) settings = Value::dictionary({});
    (*settings.asDictionary())[name] = Value::integer(*value);
    const auto out = writeJson(*all);
    if (!out || !writeFileAtomically(file, *out)) {
        sim::writeError("pmset: cannot write " + file.string() + "\n");
        return 1;
    }
    return 0;
}

int changeBattery(const Machine& machine, Rest rest) { return change(machine, batteryPower, rest); }
int changeCharger(const Machine& machine, Rest rest) { return change(machine, acPower, rest); }

struct Usage {
    std::vector<std::string_view> words;  // the leading arguments that select it
    int (*run)(const Machine&, Rest rest);
};

const std::vector<Usage>& usages() {
    static const std::vector<Usage> all{
        {{"-g", "battlimit"}, battlimit},
        {{"-g", "log"}, powerLog},
        {{"-g", "cap"}, capabilities},
        {{"-g"}, settings},  // after the longer "-g …" usages, which it would shadow
        {{"-b"}, changeBattery},
        {{"-c"}, changeCharger},
    };
    return all;
}

int refuse() {
    std::string known;
    for (const auto& usage : usages()) {
        known += known.empty() ? "`pmset" : ", `pmset";
        for (const auto word : usage.words) known += " " + std::string(word);
        known += "`";
    }
    sim::writeError("pmset: this machine answers only " + known + "\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const auto& usage : usages()) {
        if (arguments.size() < usage.words.size() ||
            !std::equal(usage.words.begin(), usage.words.end(), arguments.begin()))
            continue;
        auto machine = sim::machine("pmset");
        if (!machine) return 1;
        return usage.run(*machine, Rest(arguments).subspan(usage.words.size()));
    }
    return refuse();
}
