#pragma once
// What the system says of itself to a process: its version, whether Low Power Mode is on
// and how hot it runs.

#include <optional>
#include <string>
#include <vector>

#include "platform/Machine.h"
#include "platform/OSVersion.h"

namespace norvane {

// The system's thermal pressure: serious and critical mean it slows down to cool off.
enum class ThermalState { nominal, fair, serious, critical };

class SystemState {
public:
    virtual ~SystemState() = default;
    // Absent when the system does not say.
    virtual std::optional<OSVersion> operatingSystemVersion() const = 0;
    virtual bool lowPowerModeEnabled() const = 0;
    // The battery's own Low Power setting, whatever the Mac runs from: on the adapter the
    // mode above is the charger's setting, which says nothing of the battery's.
    virtual bool batteryLowPowerMode() const = 0;
    virtual ThermalState thermalState() const = 0;
};

// The simulated Mac: its version from SystemVersion.plist; Low Power Mode from the energy
// mode of the power source in use, as `pmset -g` shows it (PowerSettings.h); the thermal
// state from power/thermal.json when the folder has it, else from this machine's thermal
// zones. Each call reads afresh.
class MachineSystemState final : public SystemState {
public:
    explicit MachineSystemState(Machine machine, Path thermalZones = "/sys/class/thermal")
        : machine_(std::move(machine)), thermalZones_(std::move(thermalZones)) {}
    std::optional<OSVersion> operatingSystemVersion() const override;
    bool lowPowerModeEnabled() const override;
    bool batteryLowPowerMode() const override;
    ThermalState thermalState() const override;

private:
    bool lowPowerModeOf(const std::string& source) const;
    Machine machine_;
    Path thermalZones_;
};

// One of Linux's thermal zones: its temperature and its trip points (type: "active",
// "passive", "hot" or "critical"), in degrees Celsius.
struct ThermalZone {
    struct Trip {
        std::string type;
        double temperature = 0;
        bool operator==(const Trip&) const = default;
    };
    double temperature = 0;
    std::vector<Trip> trips;
    bool operator==(const ThermalZone&) const = default;
};

// The zones under a folder laid out as /sys/class/thermal; zones or trips whose figures
// cannot be read are left out.
std::vector<ThermalZone> readThermalZones(const Path& folder);

// The hottest verdict over the zones: a zone at or above a "hot" or "critical" trip is
// critical, at or above a "passive" one (where the kernel throttles) serious, at or above an
// "active" one (where fans start) fair.
ThermalState thermalState(const std::vector<ThermalZone>& zones);

}  // namespace norvane
