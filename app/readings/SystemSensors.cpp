#include "app/readings/SystemSensors.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/Text.h"

namespace norvane {
namespace {

// A controller value only when it is a 4-byte float: temperatures and fans are never read
// from other types.
std::optional<double> floatValue(const SMC& smc, const std::string& key) {
    const auto reading = smc.read(key);
    if (!reading || reading->type != "flt ") return std::nullopt;
    return SMC::decode(*reading);  // only of 4 bytes
}

std::vector<double> floatValues(const SMC& smc, const std::vector<std::string>& keys) {
    std::vector<double> out;
    for (const auto& key : keys)
        if (const auto value = floatValue(smc, key)) out.push_back(*value);
    return out;
}

std::optional<double> largest(const std::vector<double>& values) {
    if (values.empty()) return std::nullopt;
    return *std::max_element(values.begin(), values.end());
}

// Bytes per second between two counters; none when the count went down.
std::optional<double> rate(std::uint64_t before, std::uint64_t now, double seconds) {
    if (now < before) return std::nullopt;
    return static_cast<double>(now - before) / seconds;
}

struct Rates {
    std::optional<double> up, down;
};

Rates rates(const std::optional<ByteCounts>& before, const std::optional<ByteCounts>& now, double seconds) {
    if (!before || !now || seconds <= 0) return {};
    return {rate(before->read, now->read, seconds), rate(before->written, now->written, seconds)};
}

std::optional<std::uint64_t> unsignedNumber(const Value::Dictionary& dictionary, std::string_view key) {
    const Value* value = find(dictionary, key);
    if (!value || !value->isNumber()) return std::nullopt;
    // The registry's unsigned counters arrive as signed 64-bit integers that wrapped.
    return static_cast<std::uint64_t>(*value->longLongValue());
}

}  // namespace

SystemSensors::SystemSensors(const KernelServices& kernel, const SystemControl& controls, const HostStatistics& host,
                             const Registry& registry, const MainQueue& clock)
    : smc(SMC::open(kernel)),
      coreKeys(coreTemperatureKeys(chipName(controls))),
      controls_(&controls),
      host_(&host),
      registry_(&registry),
      clock_(&clock) {}

SystemReading SystemSensors::read() {
    SystemReading r;

    const auto newTicks = readCPUTicks(*host_);
    if (newTicks && ticks && newTicks->total > ticks->total && newTicks->busy >= ticks->busy)
        r.cpu = static_cast<double>(newTicks->busy - ticks->busy) / static_cast<double>(newTicks->total - ticks->total);
    ticks = newTicks;

    r.gpu = readGPULoad(*registry_);
    r.memoryUsed = readMemoryUsed(*host_);
    r.memoryTotal = static_cast<double>(host_->physicalMemory());

    if (const auto level = controls_->text("kern.memorystatus_vm_pressure_level"))
        if (const auto value = parseInt32(*level)) r.memoryPressure = *value;

    if (const auto volume = host_->volumeCapacity("/")) {
        if (volume->available) r.diskFree = static_cast<double>(*volume->available);
        if (volume->total) r.diskTotal = static_cast<double>(*volume->total);
    }

    const double now = clock_->uptime();
    const auto disk = readDiskBytes(*registry_);
    const auto network = readNetworkBytes(*host_);
    if (counters) {
        const double dt = now - counters->time;
        const auto diskRates = rates(counters->disk, disk, dt);
        const auto networkRates = rates(counters->network, network, dt);
        r.diskRead = diskRates.up;
        r.diskWritten = diskRates.down;
        r.networkIn = networkRates.up;
        r.networkOut = networkRates.down;
    }
    counters = Counters{now, disk, network};

    if (smc) {
        auto cores = plausible(floatValues(*smc, coreKeys));
        // A core sensor that is not running reads exactly 40 °C.
        std::erase(cores, 40.0);
        if (!cores.empty()) r.cpuTemperature = std::accumulate(cores.begin(), cores.end(), 0.0) / static_cast<double>(cores.size());
        r.batteryTemperature = largest(plausible(floatValues(*smc, {"TB0T", "TB1T", "TB2T"})));

        const auto fans = smc->read("FNum");
        const unsigned count = fans && !fans->bytes.empty() ? fans->bytes[0] : 0;
        std::vector<std::string> speeds, maxima;
        for (unsigned i = 0; i < count; ++i) {
            speeds.push_back("F" + std::to_string(i) + "Ac");
            maxima.push_back("F" + std::to_string(i) + "Mx");
        }
        r.fanRPM = largest(floatValues(*smc, speeds));
        r.fanMax = largest(floatValues(*smc, maxima));
    }
    return r;
}

std::optional<CPUTicks> readCPUTicks(const HostStatistics& host) {
    const auto load = host.cpuLoad();
    if (!load) return std::nullopt;
    const std::uint64_t busy = load->user + load->system + load->nice;
    return CPUTicks{busy, busy + load->idle};
}

std::optional<double> readGPULoad(const Registry& registry) {
    std::optional<double> busiest;
    for (const auto& service : registry.services("IOAccelerator")) {
        const auto statistics = registry.property(service, "PerformanceStatistics");
        const Value* utilization = statistics ? statistics->find("Device Utilization %") : nullptr;
        const auto percent = utilization ? utilization->doubleValue() : std::nullopt;
        if (!percent || !std::isfinite(*percent)) continue;
        const double share = std::min(*percent / 100, 1.0);
        busiest = std::max(busiest.value_or(share), share);
    }
    return busiest;
}

std::optional<double> readMemoryUsed(const HostStatistics& host) {
    const auto vm = host.virtualMemory();
    if (!vm) return std::nullopt;
    // Signed: purgeable pages may outnumber the anonymous ones they are counted in, and then
    // no app memory is left, not a wrapped count of nearly 2^64 pages.
    const double appPages =
        std::max(static_cast<double>(vm->internal) - static_cast<double>(vm->purgeable), 0.0);
    const double pages = appPages + static_cast<double>(vm->wired) + static_cast<double>(vm->compressor);
    return pages * static_cast<double>(vm->pageSize);
}

std::optional<ByteCounts> readDiskBytes(const Registry& registry) {
    std::optional<ByteCounts> total;
    for (const auto& service : registry.services("IOBlockStorageDriver")) {
        const auto statistics = registry.property(service, "Statistics");
        const auto* dictionary = statistics ? statistics->asDictionary() : nullptr;
        if (!dictionary) continue;
        const auto read = unsignedNumber(*dictionary, "Bytes (Read)");
        const auto written = unsignedNumber(*dictionary, "Bytes (Write)");
        if (!read || !written) continue;
        if (!total) total = ByteCounts{};
        total->read += *read;
        total->written += *written;
    }
    return total;
}

std::optional<ByteCounts> readNetworkBytes(const HostStatistics& host) {
    const auto interfaces = host.interfaces();
    if (!interfaces) return std::nullopt;
    ByteCounts total;
    for (const auto& interface : *interfaces) {
        if (!interface.name.starts_with("en")) continue;
        total.read += interface.received;
        total.written += interface.sent;
    }
    return total;
}

std::string bytesText(double value, double unit) {
    static constexpr const char* prefixes[] = {"B", "KB", "MB", "GB", "TB"};
    const double threshold = unit * 0.995;
    // Whole numbers are formatted, never converted, so no value can overflow an integer.
    const auto whole = [](double v) { return formatFixed(v + 0.0, 0); };  // + 0.0: no "-0"
    if (value < threshold) return whole(std::trunc(value)) + " B";
    double scaled = value / unit;
    int divisions = 1;
    while (scaled >= threshold && divisions < 4) {
        scaled /= unit;
        ++divisions;
    }
    return (scaled < 9.95 ? formatFixed(scaled, 1) : whole(std::round(scaled))) + " " + prefixes[divisions];
}

}  // namespace norvane
