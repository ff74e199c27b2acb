// pmset: the simulated power-management command. Each usage it answers is one function,
// listed in `usages`; any other usage is refused with a message on standard error and
// status 1.

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <vector>

#include "platform/PropertyList.h"
#include "platform/Registry.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

using Rest = std::span<const std::string>;

int refuse();

// The order in which a Mac lists the settings it has; others follow alphabetically.
constexpr std::array<std::string_view, 14> macOrder = {
    "standby",      "Sleep On Power Button", "hibernatefile", "powernap",      "networkoversleep",
    "disksleep",    "sleep",                 "hibernatemode", "ttyskeepawake", "displaysleep",
    "tcpkeepalive", "powermode",             "lowpowermode",  "womp"};

// The source the Mac runs from: the battery's adapter decides; without a battery, AC.
std::string_view providingSource(const Machine& machine) {
    const MachineRegistry registry(machine);
    const auto battery = registry.firstService("AppleSmartBattery");
    const auto plugged = battery ? registry.property(*battery, "ExternalConnected") : std::nullopt;
    if (battery && !(plugged && plugged->boolValue().value_or(false))) return "Battery Power";
    return "AC Power";
}

std::string settingLine(std::string_view name, const Value& value) {
    std::string text;
    if (const auto* s = value.asString()) text = *s;
    else if (value.isInteger()) text = std::to_string(*value.integerValue());
    else return {};  // a Mac has no other kind of value here
    std::string line = " " + std::string(name);
    if (name.size() < 20) line.append(20 - name.size(), ' ');
    return line + " " + text + "\n";
}

// -g: the settings of the power source in use, from pmset/settings.json ("AC Power" and
// "Battery Power", each an object of settings).
int settings(const Machine& machine, Rest rest) {
    if (!rest.empty()) return refuse();
    const Path file = machine.file("pmset/settings.json");
    const auto text = readFile(file);
    const auto all = text ? parseJson(*text) : std::nullopt;
    if (!all || !all->isDictionary()) {
        sim::writeError("pmset: " + file.string() + " is not an object of power-source settings\n");
        return 1;
    }
    std::string out = "System-wide power settings:\nCurrently in use:\n";
    if (const Value* source = all->find(providingSource(machine)); source && source->isDictionary()) {
        const auto& values = *source->asDictionary();
        for (auto name : macOrder)
            if (const Value* value = find(values, name)) out += settingLine(name, *value);
        for (const auto& [name, value] : values)
            if (std::find(macOrder.begin(), macOrder.end(), name) == macOrder.end()) out += settingLine(name, value);
    }
    sim::writeOut(out);
    return 0;
}

struct Usage {
    std::vector<std::string_view> words;  // the leading arguments that select it
    int (*run)(const Machine&, Rest rest);
};

const std::vector<Usage>& usages() {
    static const std::vector<Usage> all{
        {{"-g"}, settings},
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
