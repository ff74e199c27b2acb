#pragma once
// One reading of the internal battery from the registry, and the health figures that
// the system profiler shows.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Process.h"
#include "platform/Registry.h"

namespace norvane {

struct Battery {
    std::int64_t percent = 0;  // CurrentCapacity
    bool charging = false;     // IsCharging
    bool plugged = false;      // ExternalConnected
    std::int64_t milliamps = 0;  // negative while discharging
    std::int64_t millivolts = 0;
    std::int64_t rawMax = 0;   // full-charge capacity, mAh (else BatteryData's FullChargeCapacity)
    std::int64_t nominal = 0;  // mAh, else the full-charge capacity
    std::int64_t design = 0;   // mAh
    std::int64_t cycles = 0;
    std::optional<std::int64_t> systemMinutes;  // the system's own time to full or to empty

    // Nominal over design capacity in percent, rounded, at most 100.
    std::optional<std::int64_t> health() const;

    // The first AppleSmartBattery service; absent without one or when its properties
    // cannot be read (a Mac without a battery).
    static std::optional<Battery> read(const Registry& registry);

    bool operator==(const Battery&) const = default;
};

struct SystemBatteryReport {
    std::optional<std::int64_t> capacity;  // maximum capacity in percent
    bool serviceRecommended = false;
    bool operator==(const SystemBatteryReport&) const = default;
};

// Runs the system profiler for its power data; blocks until the child has written all.
SystemBatteryReport systemBatteryReport(const ProcessRunner& runner);
std::optional<std::int64_t> parseMaximumCapacity(std::string_view data);
bool parseServiceRecommended(std::string_view data);

}  // namespace norvane
