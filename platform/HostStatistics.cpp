#include "platform/HostStatistics.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <limits>

#include "platform/SystemControl.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::uint64_t maximum = std::numeric_limits<std::uint64_t>::max();

std::uint64_t pageSize() {
    const long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::uint64_t>(size) : 4096;
}

// A "Name:   1234 kB" line of /proc/meminfo in bytes.
std::optional<std::uint64_t> meminfoBytes(std::string_view text, std::string_view key) {
    const auto value = keyedValue(text, key);
    if (!value) return std::nullopt;
    std::string_view number = *value;
    if (number.ends_with(" kB")) number.remove_suffix(3);
    const auto kilobytes = parseUInt64(number);
    if (!kilobytes || *kilobytes > maximum / 1024) return std::nullopt;
    return *kilobytes * 1024;
}

}  // namespace

std::optional<CpuLoad> parseCpuLoad(std::string_view text) {
    for (const auto line : splitNonEmpty(text, '\n')) {
        const auto fields = splitNonEmpty(line, ' ');
        if (fields.empty() || fields[0] != "cpu") continue;
        // user nice system idle [iowait irq softirq …]; older kernels stop after idle.
        std::uint64_t n[7] = {};
        const std::size_t count = std::min<std::size_t>(fields.size() - 1, 7);
        if (count < 4) return std::nullopt;
        for (std::size_t i = 0; i < count; ++i) {
            const auto value = parseUInt64(fields[i + 1]);
            if (!value) return std::nullopt;
            n[i] = *value;
        }
        return CpuLoad{.user = n[0], .system = n[2] + n[5] + n[6], .idle = n[3] + n[4], .nice = n[1]};
    }
    return std::nullopt;
}

std::optional<VirtualMemory> parseMeminfo(std::string_view text, std::uint64_t pageSize) {
    const auto anonymous = meminfoBytes(text, "AnonPages");
    if (!anonymous || pageSize == 0) return std::nullopt;
    const auto bytes = [&](std::string_view key) { return meminfoBytes(text, key).value_or(0); };
    VirtualMemory vm;
    vm.pageSize = pageSize;
    // Shared memory is anonymous too: it lives in swap, not in a file.
    vm.internal = (*anonymous + bytes("Shmem")) / pageSize;
    // Linux keeps no count of memory an app offered back (MADV_FREE), so nothing is purgeable.
    vm.purgeable = 0;
    vm.wired = (bytes("Unevictable") + bytes("KernelStack") + bytes("PageTables") + bytes("SUnreclaim")) / pageSize;
    vm.compressor = bytes("Zswap") / pageSize;
    return vm;
}

std::optional<std::uint64_t> meminfoTotal(std::string_view text) { return meminfoBytes(text, "MemTotal"); }

std::vector<NetworkInterface> parseNetDev(std::string_view text) {
    std::vector<NetworkInterface> out;
    for (const auto line : splitNonEmpty(text, '\n')) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const auto name = splitNonEmpty(line.substr(0, colon), ' ');
        const auto fields = splitNonEmpty(line.substr(colon + 1), ' ');
        // Received bytes come first, sent bytes ninth (after eight receive columns).
        if (name.size() != 1 || fields.size() < 9) continue;
        const auto received = parseUInt64(fields[0]);
        const auto sent = parseUInt64(fields[8]);
        if (!received || !sent) continue;
        out.push_back({std::string(name[0]), *received, *sent});
    }
    return out;
}

std::optional<CpuLoad> MachineHostStatistics::cpuLoad() const {
    const auto text = machine_.readProc("stat");
    return text ? parseCpuLoad(*text) : std::nullopt;
}

std::optional<VirtualMemory> MachineHostStatistics::virtualMemory() const {
    const auto text = machine_.readProc("meminfo");
    return text ? parseMeminfo(*text, pageSize()) : std::nullopt;
}

std::uint64_t MachineHostStatistics::physicalMemory() const {
    if (const auto text = machine_.readProc("meminfo"))
        if (const auto total = meminfoTotal(*text)) return *total;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    return pages > 0 ? static_cast<std::uint64_t>(pages) * pageSize() : 0;
}

std::optional<VolumeCapacity> MachineHostStatistics::volumeCapacity(const Path& path) const {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0) return std::nullopt;
    const std::uint64_t unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    const auto bytes = [&](std::uint64_t blocks) -> std::optional<std::uint64_t> {
        if (unit != 0 && blocks > maximum / unit) return std::nullopt;
        return blocks * unit;
    };
    // What an ordinary user may still write: the blocks kept for root do not count.
    return VolumeCapacity{bytes(fs.f_blocks), bytes(fs.f_bavail)};
}

std::optional<std::vector<NetworkInterface>> MachineHostStatistics::interfaces() const {
    const auto text = machine_.readProc("net/dev");
    if (!text) return std::nullopt;
    return parseNetDev(*text);
}

}  // namespace norvane
