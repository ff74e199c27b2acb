// pmset: the simulated power-management command. Each usage it answers is one function,
// listed in `usages`; any other usage is refused with a message on standard error and
// status 1.

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/PowerSettings.h"
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

// The settings of the power source in use (a dump in pmset/settings.txt, else
// pmset/settings.json); absent, with the error written, when they cannot be read.
std::optional<PowerSettings> inUse(const Machine& machine) {
    auto settings = readPowerSettings(machine, MachinePowerSources(machine).providingSource());
    if (!settings)
        sim::writeError("pmset: the settings in " + machine.file("pmset").string() +
                        " are not readable power-source settings\n");
    return settings;
}

// -g: the settings of the power source in use; a dump as it stands.
int settings(const Machine& machine, Rest rest) {
    if (!rest.empty()) return refuse();
    const auto settings = inUse(machine);
    if (!settings) return 1;
    if (settings->dump) {
        sim::writeOut(*settings->dump);
        return 0;
    }
    std::string out = "System-wide power settings:\nCurrently in use:\n";
    for (const auto& [name, value] : settings->settings) out += settingLine(name, value);
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
    const auto settings = inUse(machine);
    if (!settings) return 1;
    std::string out = "Capabilities for " + MachinePowerSources(machine).providingSource() + ":\n";
    for (const auto& setting : settings->settings) out += " " + setting.first + "\n";
    sim::writeOut(out);
    return 0;
}

// -b or -c, then one setting and its value: lowpowermode 0 or 1, powermode 0, 1 or 2. The
// change goes to that source only, both settings of the energy mode kept in step.
int change(const Machine& machine, std::string_view source, Rest rest) {
    if (rest.size() != 2) return refuse();
    const std::string& name = rest[0];
    const auto value = parseInt64(rest[1]);
    const std::int64_t highest = name == "lowpowermode" ? 1 : name == "powermode" ? 2 : -1;
    if (!value || *value < 0 || *value > highest || rest[1] != std::to_string(*value)) return refuse();
    if (const auto failure = changeEnergyMode(machine, source, name, *value)) {
        sim::writeError("pmset: " + *failure + "\n");
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
