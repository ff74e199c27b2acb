#pragma once
// How hard the Mac is working: CPU and GPU load, temperatures and fans, memory, disk space,
// and disk and network throughput. Rates and the CPU share are differences against the
// previous reading; every figure is absent when the system cannot give it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/readings/SMC.h"
#include "platform/HostStatistics.h"
#include "platform/KernelService.h"
#include "platform/MainQueue.h"
#include "platform/Registry.h"
#include "platform/SystemControl.h"

namespace norvane {

struct SystemReading {
    std::optional<double> cpu;                 // share busy since the previous reading, 0 to 1
    std::optional<double> cpuTemperature;      // °C, mean over the chip's core sensors
    std::optional<double> batteryTemperature;  // °C, highest battery sensor
    std::optional<double> fanRPM;              // fastest fan now
    std::optional<double> fanMax;              // highest fan maximum
    std::optional<double> gpu;                 // 0 to 1, busiest accelerator
    std::optional<double> memoryUsed;          // bytes
    std::optional<double> memoryTotal;         // bytes of physical memory
    std::optional<std::int64_t> memoryPressure;  // the kernel's level as reported
    std::optional<double> diskFree;            // bytes available on the start-up volume for important use
    std::optional<double> diskTotal;           // bytes of its capacity
    std::optional<double> diskRead;            // bytes per second since the previous reading
    std::optional<double> diskWritten;
    std::optional<double> networkIn;           // bytes per second on the "en" interfaces
    std::optional<double> networkOut;
    bool operator==(const SystemReading&) const = default;
};

struct CPUTicks {
    std::uint64_t busy = 0, total = 0;
    bool operator==(const CPUTicks&) const = default;
};

// Bytes read and written; for the network, received and sent.
struct ByteCounts {
    std::uint64_t read = 0, written = 0;
    bool operator==(const ByteCounts&) const = default;
};

// One per model. Two readings of one instance must not run at the same time.
class SystemSensors {
public:
    // Opens its own SMC connection and picks the chip's core temperature keys; the
    // sources must outlive it.
    SystemSensors(const KernelServices& kernel, const SystemControl& controls, const HostStatistics& host,
                  const Registry& registry, const MainQueue& clock);

    // Takes one reading and keeps its counters for the next one's rates.
    SystemReading read();

    struct Counters {
        double time = 0;  // uptime in seconds
        std::optional<ByteCounts> disk, network;
    };

    std::optional<SMC> smc;  // absent when the controller could not be opened
    std::vector<std::string> coreKeys;
    std::optional<CPUTicks> ticks;     // of the previous reading
    std::optional<Counters> counters;  // of the previous reading

private:
    const SystemControl* controls_;
    const HostStatistics* host_;
    const Registry* registry_;
    const MainQueue* clock_;
};

// busy = user + system + nice; total = busy + idle.
std::optional<CPUTicks> readCPUTicks(const HostStatistics& host);
// The busiest accelerator's "Device Utilization %" as a share, at most 1.
std::optional<double> readGPULoad(const Registry& registry);
// Bytes in use: anonymous less purgeable, plus wired and compressed pages; never below 0.
std::optional<double> readMemoryUsed(const HostStatistics& host);
// The summed byte counters of every block-storage driver that reports both.
std::optional<ByteCounts> readDiskBytes(const Registry& registry);
// The summed counters of the interfaces whose names begin with "en".
std::optional<ByteCounts> readNetworkBytes(const HostStatistics& host);

// A byte count or rate as short text ("950 B", "1.0 KB", "12 MB"), `unit` bytes to the next
// prefix.
std::string bytesText(double value, double unit);

}  // namespace norvane
