#include "platform/SystemState.h"

#include <algorithm>
#include <cmath>

#include "platform/PowerSettings.h"
#include "platform/PowerSources.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {
namespace {

// A sysfs figure in thousandths of a degree, as whole text ("45000\n").
std::optional<double> milliDegrees(const Path& file) {
    const auto text = readFile(file);
    if (!text) return std::nullopt;
    const auto value = parseInt64(trimmedWhitespace(*text));
    if (!value) return std::nullopt;
    return static_cast<double>(*value) / 1000;
}

}  // namespace

std::optional<OSVersion> MachineSystemState::operatingSystemVersion() const {
    return norvane::operatingSystemVersion(machine_);
}

bool MachineSystemState::lowPowerModeEnabled() const {
    return lowPowerModeOf(MachinePowerSources(machine_).providingSource());
}

bool MachineSystemState::batteryLowPowerMode() const { return lowPowerModeOf(std::string(batteryPower)); }

bool MachineSystemState::lowPowerModeOf(const std::string& name) const {
    return readEnergyMode(machine_, name) == 1;
}

ThermalState MachineSystemState::thermalState() const {
    const Path file = machine_.file("power/thermal.json");
    if (!fileExists(file)) return norvane::thermalState(readThermalZones(thermalZones_));
    // A file that names no state keeps the Mac cool rather than handing over this machine's.
    const auto value = readJsonObject(file);
    const Value* state = value ? value->find("thermalState") : nullptr;
    const auto level = state && state->isInteger() ? state->integerValue() : std::nullopt;
    if (!level || *level < 0 || *level > 3) return ThermalState::nominal;
    return static_cast<ThermalState>(*level);
}

std::vector<ThermalZone> readThermalZones(const Path& folder) {
    std::vector<ThermalZone> zones;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->path().filename().string().starts_with("thermal_zone")) continue;
        const auto temperature = milliDegrees(it->path() / "temp");
        if (!temperature) continue;
        ThermalZone zone{*temperature, {}};
        // Trip points are numbered from 0 without gaps; a zone has a handful at most.
        for (int i = 0; i < 64; ++i) {
            const std::string trip = "trip_point_" + std::to_string(i);
            const auto type = readFile(it->path() / (trip + "_type"));
            if (!type) break;
            if (const auto at = milliDegrees(it->path() / (trip + "_temp")))
                zone.trips.push_back({trimmedWhitespace(*type), *at});
        }
        zones.push_back(std::move(zone));
    }
    return zones;
}

ThermalState thermalState(const std::vector<ThermalZone>& zones) {
    ThermalState worst = ThermalState::nominal;
    for (const auto& zone : zones) {
        for (const auto& trip : zone.trips) {
            // Drivers mark a trip they do not use with 0 or less.
            if (!(trip.temperature > 0) || zone.temperature < trip.temperature) continue;
            ThermalState reached = ThermalState::nominal;
            if (trip.type == "hot" || trip.type == "critical") reached = ThermalState::critical;
            else if (trip.type == "passive") reached = ThermalState::serious;
            else if (trip.type == "active") reached = ThermalState::fair;
            worst = std::max(worst, reached);
        }
    }
    return worst;
}

}  // namespace norvane
