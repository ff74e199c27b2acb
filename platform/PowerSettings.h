#pragma once
// The power-management settings of the simulated Mac, as `pmset` keeps and shows them.
//
// pmset/settings.json holds the settings of both power sources. pmset/settings.txt, when the
// folder has it, is what a Mac's `pmset -g` prints (a dump dropped in): it stands for the
// settings of the source in use, in place of the JSON, and changes to that source are
// written back into it. The energy mode is one state whichever of its two settings is used:
// a Mac that offers High Power (its capabilities list "highpowermode") shows "powermode"
// (0 Automatic, 1 Low Power, 2 High Power), any other shows "lowpowermode" (0 or 1).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Machine.h"
#include "platform/Value.h"

namespace norvane {

struct PowerSettings {
    // What `pmset -g` lists, in its order: the settings a Mac knows in a Mac's order, then
    // the others by name; of the energy mode's two settings only the one the Mac shows.
    std::vector<std::pair<std::string, Value>> settings;
    // The energy mode; absent when neither of its settings gives one.
    std::optional<std::int64_t> energyMode;
    // The dump's text, when the settings come from pmset/settings.txt.
    std::optional<std::string> dump;
};

// One line of `pmset -g`: a space, the name padded to 20 characters, a space, the value and a
// line feed; empty for a value that is neither an integer nor a text.
std::string settingLine(std::string_view name, const Value& value);

// The machine offers High Power: its pmset/capabilities.txt says so.
bool offersHighPower(const Machine& machine);

// The settings of one source ("AC Power" or "Battery Power"): from the dump when that source
// is in use and the folder has one, else from pmset/settings.json. Absent when they cannot be
// read: no file, or one that is not an object of sources.
std::optional<PowerSettings> readPowerSettings(const Machine& machine, std::string_view source);

// Only the energy mode of one source, as readPowerSettings would give it.
std::optional<std::int64_t> readEnergyMode(const Machine& machine, std::string_view source);

// The settings of one source from a dump's "Currently in use:" lines ("<name> <value> …",
// the name padded to 20 characters); its energy mode as the app reads `pmset -g`
// (parsePowerMode of the whole text).
PowerSettings parsePowerSettingsDump(std::string_view text);

// Sets the energy mode of one source through one of its settings: "powermode" 0–2, or
// "lowpowermode" 0–1 (0 leaves High Power as it is). Both settings are kept in step, in the
// JSON and in a dump. The file's writers hold its lock. Absent on success, else the reason.
std::optional<std::string> changeEnergyMode(const Machine& machine, std::string_view source, std::string_view name,
                                            std::int64_t value);

}  // namespace norvane
