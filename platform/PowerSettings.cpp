#include "platform/PowerSettings.h"

#include <algorithm>
#include <array>

#include "platform/FileLock.h"
#include "platform/FileReading.h"
#include "platform/PmsetText.h"
#include "platform/PowerSources.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::string_view powermode = "powermode";
constexpr std::string_view lowpowermode = "lowpowermode";

// The order in which a Mac lists the settings it has; others follow alphabetically.
constexpr std::array<std::string_view, 14> macOrder = {
    "standby",      "Sleep On Power Button", "hibernatefile", "powernap",      "networkoversleep",
    "disksleep",    "sleep",                 "hibernatemode", "ttyskeepawake", "displaysleep",
    "tcpkeepalive", powermode,               lowpowermode,    "womp"};

bool isEnergySetting(std::string_view name) { return name == powermode || name == lowpowermode; }

std::string_view shownSetting(bool highPower) { return highPower ? powermode : lowpowermode; }

// The energy mode one of its settings gives, if it gives one.
std::optional<std::int64_t> modeOf(std::string_view name, const Value& value) {
    const auto number = value.isInteger() ? value.integerValue() : std::nullopt;
    if (!number) return std::nullopt;
    if (name == powermode && *number >= 0 && *number <= 2) return number;
    if (name == lowpowermode && (*number == 0 || *number == 1)) return number;
    return std::nullopt;
}

// What a setting of the energy mode says for a mode.
std::int64_t settingFor(std::string_view name, std::int64_t mode) {
    return name == powermode ? mode : mode == 1 ? 1 : 0;
}

// The mode after a change through one setting: Low Power off keeps High Power.
std::int64_t modeAfter(std::optional<std::int64_t> mode, std::string_view name, std::int64_t value) {
    if (name == powermode || value == 1) return value;
    return mode == 2 ? 2 : 0;
}

// The setting the Mac shows decides; the other counts only when that one says nothing.
std::optional<std::int64_t> jsonMode(const Value::Dictionary& values, bool highPower) {
    for (const auto name : {shownSetting(highPower), shownSetting(!highPower)})
        if (const Value* value = find(values, name))
            if (const auto mode = modeOf(name, *value)) return mode;
    return std::nullopt;
}

PowerSettings fromJson(const Value::Dictionary& values, bool highPower) {
    const std::string_view shown = shownSetting(highPower);
    PowerSettings out;
    out.energyMode = jsonMode(values, highPower);
    for (const auto name : macOrder) {
        if (name == shown && out.energyMode)
            out.settings.emplace_back(name, Value::integer(settingFor(name, *out.energyMode)));
        else if (const Value* value = find(values, name); value && !isEnergySetting(name))
            out.settings.emplace_back(name, *value);
    }
    for (const auto& [name, value] : values)
        if (std::find(macOrder.begin(), macOrder.end(), name) == macOrder.end()) out.settings.emplace_back(name, value);
    return out;
}

// One setting line of a dump: " <name> <value> …", the name padded with spaces when it is
// short, followed by one space when it is long ("Sleep On Power Button 1"). Its words and its
// end are read by pmset's one rule (PmsetText.h), as the app reads the energy mode.
struct DumpLine {
    std::string_view name;
    std::size_t valueStart = 0, valueEnd = 0;  // within the line
};

std::optional<DumpLine> dumpLine(std::string_view line) {
    line = pmsetLine(line);
    if (!line.starts_with(' ')) return std::nullopt;
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) return std::nullopt;
    std::size_t gap = line.find("  ", start);
    if (gap == std::string_view::npos) gap = line.rfind(' ');
    if (gap <= start) return std::nullopt;
    const std::size_t valueStart = line.find_first_not_of(' ', gap);
    if (valueStart == std::string_view::npos) return std::nullopt;
    const std::size_t valueEnd = wordEnd(line, valueStart);
    std::string_view name = line.substr(start, gap - start);
    while (name.ends_with(' ')) name.remove_suffix(1);
    return DumpLine{name, valueStart, valueEnd};
}

// A dump's "Currently in use:" part: its lines (every line that begins with a space when it
// has no such heading), with where each starts in the text, and where a line added to them
// goes so that it belongs to them: after the last of them.
struct DumpPart {
    std::vector<std::pair<std::size_t, std::string_view>> lines;
    std::size_t end = 0;
};

DumpPart settingsPart(std::string_view text) {
    DumpPart out;
    const bool headed = text.find("Currently in use:") != std::string_view::npos;
    bool inside = !headed;
    out.end = headed ? std::string_view::npos : text.size();
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = pmsetLine(text.substr(at, end - at));
        const std::size_t next = std::min(end + 1, text.size());
        if (headed && trimmedWhitespace(line) == "Currently in use:") {
            inside = true;
            out.end = next;
        } else if (!line.starts_with(' ')) {
            inside = !headed;
        } else if (inside) {
            out.lines.emplace_back(at, line);
            if (headed) out.end = next;
        }
        at = end + 1;
    }
    if (out.end == std::string_view::npos) out.end = text.size();
    return out;
}

Path dumpFile(const Machine& machine) { return machine.file("pmset/settings.txt"); }
Path jsonFile(const Machine& machine) { return machine.file("pmset/settings.json"); }

// The files as they are now; each is parsed again only when it changed.
struct Dump {
    bool exists = false;
    std::optional<PowerSettings> settings;  // absent when it cannot be read
};
std::shared_ptr<const Dump> dumpNow(const Machine& machine) {
    static const FileReading<Dump> reading([](const FileBytes& file) {
        return Dump{file.exists, file.bytes ? std::optional(parsePowerSettingsDump(*file.bytes)) : std::nullopt};
    });
    return reading(machine.path("pmset/settings.txt"));
}
// The JSON's object of sources; absent when the file is missing or holds anything else.
std::shared_ptr<const std::optional<Value>> jsonNow(const Machine& machine) {
    static const FileReading<std::optional<Value>> reading([](const FileBytes& file) -> std::optional<Value> {
        auto all = file.bytes ? parseJson(*file.bytes) : std::nullopt;
        return all && all->isDictionary() ? all : std::nullopt;
    });
    return reading(machine.path("pmset/settings.json"));
}

// The dump stands for the source in use only.
bool fromDump(const Machine& machine, const Dump& dump, std::string_view source) {
    return dump.exists && MachinePowerSources(machine).providingSource() == source;
}

std::optional<std::string> changeDump(const Machine& machine, std::string_view name, std::int64_t value) {
    const Path file = dumpFile(machine);
    const FileLock lock(file);
    const auto text = lock.held() ? readFile(file) : std::nullopt;
    if (!text) return "cannot read " + file.string();
    const std::int64_t mode = modeAfter(parsePowerMode(*text), name, value);
    // Every line the mode is read from says the new one, wherever it stands.
    std::string out;
    std::size_t copied = 0;
    bool changed = false;
    for (std::size_t at = 0; at < text->size();) {
        std::size_t end = text->find('\n', at);
        if (end == std::string::npos) end = text->size();
        if (const auto energy = energyLine(std::string_view(*text).substr(at, end - at))) {
            out.append(*text, copied, at + energy->valueStart - copied);
            out += std::to_string(settingFor(energy->name, mode));
            copied = at + energy->valueEnd;
            changed = true;
        }
        at = end + 1;
    }
    out.append(*text, copied);
    if (!changed) {
        // A dump without the setting gets the line a Mac shows, among its settings.
        const std::size_t at = settingsPart(*text).end;
        const auto shown = shownSetting(offersHighPower(machine));
        std::string line = settingLine(shown, Value::integer(settingFor(shown, mode)));
        // In a dump saved with CRLF line ends the new line ends as its neighbours do.
        const std::string_view end = text->find("\r\n") != std::string::npos ? "\r\n" : "\n";
        line.replace(line.size() - 1, 1, end);
        if (at > 0 && (*text)[at - 1] != '\n') line.insert(0, end);
        out.insert(at, line);
    }
    if (!writeFileAtomically(file, out)) return "cannot write " + file.string();
    return std::nullopt;
}

std::optional<std::string> changeJson(const Machine& machine, std::string_view source, std::string_view name,
                                      std::int64_t value) {
    const Path file = jsonFile(machine);
    const FileLock lock(file);
    const auto text = lock.held() ? readFile(file) : std::nullopt;
    auto all = text ? parseJson(*text) : std::nullopt;
    if (!all || !all->isDictionary()) return file.string() + " is not an object of power-source settings";
    Value& settings = (*all->asDictionary())[std::string(source)];
    if (!settings.isDictionary()) settings = Value::dictionary({});
    auto& values = *settings.asDictionary();
    const std::int64_t mode = modeAfter(fromJson(values, offersHighPower(machine)).energyMode, name, value);
    values[std::string(powermode)] = Value::integer(settingFor(powermode, mode));
    values[std::string(lowpowermode)] = Value::integer(settingFor(lowpowermode, mode));
    const auto out = writeJson(*all);
    if (!out || !writeFileAtomically(file, *out)) return "cannot write " + file.string();
    return std::nullopt;
}

}  // namespace

std::string settingLine(std::string_view name, const Value& value) {
    std::string text;
    if (const auto* s = value.asString()) text = *s;
    else if (value.isInteger()) text = std::to_string(*value.integerValue());
    else return {};  // a Mac has no other kind of value here
    std::string line = " " + std::string(name);
    if (name.size() < 20) line.append(20 - name.size(), ' ');
    return line + " " + text + "\n";
}

bool offersHighPower(const Machine& machine) {
    static const FileReading<bool> reading(
        [](const FileBytes& file) { return file.bytes && hasWord(*file.bytes, "highpowermode", " \n\t"); });
    return *reading(machine.path("pmset/capabilities.txt"));
}

PowerSettings parsePowerSettingsDump(std::string_view text) {
    PowerSettings out;
    for (const auto& [at, line] : settingsPart(text).lines) {
        const auto parsed = dumpLine(line);
        if (!parsed) continue;
        const std::string_view value = line.substr(parsed->valueStart, parsed->valueEnd - parsed->valueStart);
        const auto number = parseInt64(value);
        out.settings.emplace_back(parsed->name, number && std::to_string(*number) == value
                                                    ? Value::integer(*number)
                                                    : Value::string(std::string(value)));
    }
    // The mode as the app reads the command's output: from the whole text.
    out.energyMode = parsePowerMode(text);
    out.dump = std::string(text);
    return out;
}

std::optional<PowerSettings> readPowerSettings(const Machine& machine, std::string_view source) {
    if (const auto dump = dumpNow(machine); fromDump(machine, *dump, source)) return dump->settings;
    const auto all = jsonNow(machine);
    if (!*all) return std::nullopt;
    const Value* settings = (*all)->find(source);
    if (!settings || !settings->isDictionary()) return PowerSettings{};
    return fromJson(*settings->asDictionary(), offersHighPower(machine));
}

std::optional<std::int64_t> readEnergyMode(const Machine& machine, std::string_view source) {
    if (const auto dump = dumpNow(machine); fromDump(machine, *dump, source))
        return dump->settings ? dump->settings->energyMode : std::nullopt;
    const auto all = jsonNow(machine);
    const Value* settings = *all ? (*all)->find(source) : nullptr;
    if (!settings || !settings->isDictionary()) return std::nullopt;
    return jsonMode(*settings->asDictionary(), offersHighPower(machine));
}

std::optional<std::string> changeEnergyMode(const Machine& machine, std::string_view source, std::string_view name,
                                            std::int64_t value) {
    if (!isEnergySetting(name) || value < 0 || value > (name == powermode ? 2 : 1))
        return "no such energy setting: " + std::string(name) + " " + std::to_string(value);
    if (fromDump(machine, *dumpNow(machine), source)) return changeDump(machine, name, value);
    return changeJson(machine, source, name, value);
}

}  // namespace norvane
