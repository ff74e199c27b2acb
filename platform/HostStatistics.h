#pragma once
// The host's statistics: CPU load ticks, virtual-memory page counts, physical memory, the
// capacity of a volume and the network interface table with its byte counters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Machine.h"

namespace norvane {

// Ticks spent in each CPU state since boot, summed over all processors.
struct CpuLoad {
    std::uint64_t user = 0, system = 0, idle = 0, nice = 0;
    bool operator==(const CpuLoad&) const = default;
};

// Page counts of the virtual-memory statistics that memory in use is made of.
struct VirtualMemory {
    std::uint64_t pageSize = 0;
    std::uint64_t internal = 0;    // anonymous pages, not backed by a file
    std::uint64_t purgeable = 0;   // pages the system may drop without saving them
    std::uint64_t wired = 0;       // pages that can never be paged out
    std::uint64_t compressor = 0;  // pages holding compressed memory
    bool operator==(const VirtualMemory&) const = default;
};

// Bytes, each absent when the system does not report it.
struct VolumeCapacity {
    std::optional<std::uint64_t> total;
    std::optional<std::uint64_t> available;  // for important use
    bool operator==(const VolumeCapacity&) const = default;
};

struct NetworkInterface {
    std::string name;
    std::uint64_t received = 0, sent = 0;  // bytes
    bool operator==(const NetworkInterface&) const = default;
};

class HostStatistics {
public:
    virtual ~HostStatistics() = default;
    virtual std::optional<CpuLoad> cpuLoad() const = 0;
    virtual std::optional<VirtualMemory> virtualMemory() const = 0;
    // Bytes of physical memory; always known.
    virtual std::uint64_t physicalMemory() const = 0;
    // Absent when the volume holding `path` cannot be asked.
    virtual std::optional<VolumeCapacity> volumeCapacity(const Path& path) const = 0;
    // Every interface with its counters; absent when the table cannot be read.
    virtual std::optional<std::vector<NetworkInterface>> interfaces() const = 0;
};

// Linux's statistics from /proc (a file of the folder's proc/ wins, Machine::readProc), the
// volume's from statvfs. How each figure maps is in docs/machine-folder.md.
class MachineHostStatistics final : public HostStatistics {
public:
    explicit MachineHostStatistics(Machine machine) : machine_(std::move(machine)) {}
    std::optional<CpuLoad> cpuLoad() const override;
    std::optional<VirtualMemory> virtualMemory() const override;
    std::uint64_t physicalMemory() const override;
    std::optional<VolumeCapacity> volumeCapacity(const Path& path) const override;
    std::optional<std::vector<NetworkInterface>> interfaces() const override;

private:
    Machine machine_;
};

// The summed "cpu" line of /proc/stat: interrupt time counts as system time and I/O wait
// as idle time, as a Mac counts them.
std::optional<CpuLoad> parseCpuLoad(std::string_view text);
// /proc/meminfo in pages of `pageSize` bytes; absent without an "AnonPages" line.
std::optional<VirtualMemory> parseMeminfo(std::string_view text, std::uint64_t pageSize);
// "MemTotal" of /proc/meminfo in bytes.
std::optional<std::uint64_t> meminfoTotal(std::string_view text);
// The interfaces of /proc/net/dev; lines that are not an interface's are passed over.
std::vector<NetworkInterface> parseNetDev(std::string_view text);

}  // namespace norvane
