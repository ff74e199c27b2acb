// pmset: the power-management settings of the machine folder's pmset/settings.json. One
// function per usage that this machine answers; any other usage is refused with a short
// message on standard error and status 1.
//
//   pmset -g    the settings of the power source in use ("Currently in use")

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PropertyList.h"
#include "platform/Registry.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

constexpr std::string_view usage = "pmset: this machine answers only `pmset -g`\n";

// The order in which a Mac lists the settings it has; others follow alphabetically.
constexpr std::array<std::string_view, 14> macOrder = {
    "standby",      "Sleep On Power Button", "hibernatefile", "powernap",      "networkoversleep",
    "disksleep",    "sleep",                 "hibernatemode", "ttyskeepawake", "displaysleep",
    "tcpkeepalive", "powermode",             "lowpowermode",  "womp"};

// The settings of both power sources, keyed "AC Power" and "Battery Power"; absent, after a
// message, when the file is missing or is not such an object.
std::optional<Value> settings(const Machine& machine) {
    const Path file = machine.file("pmset/settings.json");
    const auto text = readFile(file);
    auto value = text ? parseJson(*text) : std::nullopt;
    if (!value || !value->isDictionary()) {
        sim::writeError("pmset: " + file.string() + " is not an object of power-source settings\n");
        return std::nullopt;
    }
    return value;
}

// The battery's adapter decides, as the providing power source does on a Mac; a machine
// without a battery runs on AC.
std::string_view sourceInUse(const Machine& machine) {
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

int printSettings(const Machine& machine) {
    const auto all = settings(machine);
    if (!all) return 1;
    std::string out = "System-wide power settings:\nCurrently in use:\n";
    if (const Value* source = all->find(sourceInUse(machine)); source && source->isDictionary()) {
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
    std::vector<std::string_view> arguments;
    std::function<int(const Machine&)> run;
};

const std::vector<Usage>& usages() {
    static const std::vector<Usage> all = {
        {{"-g"}, printSettings},
    };
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    for (const auto& known : usages()) {
        if (known.arguments != arguments) continue;
        const auto machine = sim::machine("pmset");
        return machine ? known.run(*machine) : 1;
    }
    sim::writeError(usage);
    return 1;
}
