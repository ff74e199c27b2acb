// top: answers `top -l N -s S -o power -stats pid,command,power -n N` in the logging
// layout of the real command: per sample a header block, then the process table ordered
// by power. The processes are the machine folder's top/processes.json; without that file
// they are this machine's real processes, their power taken from their CPU use.
//
// NORVANE_SIM_FAST=1 makes the interval between samples 0, so tests need not wait.

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ProcessKernel.h"
#include "platform/HostStatistics.h"
#include "platform/ProcessTable.h"
#include "platform/Text.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

constexpr std::string_view usage =
    "top: this machine answers only `top -l N -s S -o power -stats pid,command,power -n N`\n";
constexpr std::size_t commandWidth = 16;

struct Options {
    std::int64_t samples = 0;
    std::int64_t delay = 1;
    std::optional<std::int64_t> rows;  // all when absent
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    bool logging = false, byPower = false, columns = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        const std::string_view value = argv[++i];
        const auto number = parseInt64(value);
        if (option == "-l") {
            // -l 0 would sample for ever.
            if (!number || *number < 1) return std::nullopt;
            options.samples = *number;
            logging = true;
        } else if (option == "-s") {
            if (!number || *number < 0) return std::nullopt;
            options.delay = *number;
        } else if (option == "-n") {
            if (!number || *number < 0) return std::nullopt;
            options.rows = *number;
        } else if (option == "-o") {
            if (value != "power") return std::nullopt;
            byPower = true;
        } else if (option == "-stats") {
            if (value != "pid,command,power") return std::nullopt;
            columns = true;
        } else {
            return std::nullopt;
        }
    }
    if (!logging || !byPower || !columns) return std::nullopt;
    return options;
}

struct Row {
    std::int32_t pid = 0;
    std::string command;
    double power = 0;
};

struct Counts {
    std::size_t total = 0, running = 0, threads = 0;
};

struct Snapshot {
    std::vector<Row> rows;
    Counts counts;
};

// This machine's processes, each sample's power the CPU-seconds per second it used since
// the previous sample, times 100.
class LiveProcesses {
public:
    Snapshot sample(bool first) {
        const auto now = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double>(now - last_).count();
        Snapshot snapshot;
        std::map<std::int32_t, double> cpu;
        DIR* dir = ::opendir("/proc");
        if (!dir) return snapshot;
        while (const dirent* entry = ::readdir(dir)) {
            const auto pid = parseInt32(entry->d_name);
            if (!pid || *pid <= 0) continue;
            const auto stat = readProcStat(*pid);
            if (!stat) continue;  // it ended meanwhile
            const double seconds = static_cast<double>(stat->user + stat->system) / ticksPerSecond_;
            cpu[*pid] = seconds;

            Row row;
            row.pid = *pid;
            row.command = decodeUtf8Lossy(stat->name);
            if (!first && elapsed > 0) {
                // A process new since the last sample started within the interval.
                const auto before = previous_.find(*pid);
                const double used = seconds - (before == previous_.end() ? 0.0 : before->second);
                // Tick-sized noise over a short interval must not read as more than all cores.
                row.power = std::clamp(used / elapsed, 0.0, cores_) * 100;
            }
            snapshot.rows.push_back(std::move(row));
            snapshot.counts.total += 1;
            if (stat->state == 'R') snapshot.counts.running += 1;
            snapshot.counts.threads += static_cast<std::size_t>(std::max<std::int64_t>(stat->threads, 1));
        }
        ::closedir(dir);
        previous_ = std::move(cpu);
        last_ = now;
        return snapshot;
    }

private:
    double ticksPerSecond_ = static_cast<double>(std::max(::sysconf(_SC_CLK_TCK), 1L));
    double cores_ = static_cast<double>(std::max(::sysconf(_SC_NPROCESSORS_ONLN), 1L));
    std::map<std::int32_t, double> previous_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

Snapshot listed(const std::vector<MachineProcess>& processes, bool first) {
    Snapshot snapshot;
    for (const auto& process : processes) {
        // The first sample has no interval behind it, so a real Mac shows 0.0 throughout.
        snapshot.rows.push_back({process.pid, process.command, first ? 0.0 : process.power});
        snapshot.counts.total += 1;
        if (process.power > 0) snapshot.counts.running += 1;
        snapshot.counts.threads += 1;
    }
    return snapshot;
}

// The machine's CPU time split, from its CPU load ticks; the first sample shows the share
// since boot, the later ones the share over the interval.
class CpuUsage {
public:
    explicit CpuUsage(const HostStatistics& host) : host_(host) {}
    std::string line() {
        double user = 0, system = 0, idle = 0;
        if (const auto load = host_.cpuLoad()) {
            user = static_cast<double>(load->user + load->nice);
            system = static_cast<double>(load->system);
            idle = static_cast<double>(load->idle);
        }
        const double du = user - user_, ds = system - system_, di = idle - idle_;
        user_ = user, system_ = system, idle_ = idle;
        const double total = du + ds + di;
        // No time passed (a zero interval): nothing ran, so all of it was idle.
        auto percent = [&](double part, double none) {
            return formatFixed(total > 0 ? part / total * 100 : none, 2) + "%";
        };
        return "CPU usage: " + percent(du, 0) + " user, " + percent(ds, 0) + " sys, " + percent(di, 100) + " idle\n";
    }

private:
    const HostStatistics& host_;
    double user_ = 0, system_ = 0, idle_ = 0;
};

std::string padded(std::string text, std::size_t width) {
    const auto codePoints = decodeUtf8(text).value_or(std::u32string());
    if (codePoints.size() < width) text.append(width - codePoints.size(), ' ');
    return text;
}

// The real command cuts names to its column, by character.
std::string cutCommand(const std::string& command) {
    auto codePoints = decodeUtf8(decodeUtf8Lossy(command)).value_or(std::u32string());
    if (codePoints.size() > commandWidth) codePoints.resize(commandWidth);
    return encodeUtf8(codePoints);
}

std::string header(const Counts& counts, CpuUsage& cpu) {
    std::string out;
    out += "Processes: " + std::to_string(counts.total) + " total, " + std::to_string(counts.running) + " running, " +
           std::to_string(counts.total - counts.running) + " sleeping, " + std::to_string(counts.threads) +
           " threads\n";
    char time[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(time, sizeof time, "%Y/%m/%d %H:%M:%S", &local);
    out += std::string(time) + "\n";
    double load[3] = {0, 0, 0};
    ::getloadavg(load, 3);
    out +=
        "Load Avg: " + formatFixed(load[0], 2) + ", " + formatFixed(load[1], 2) + ", " + formatFixed(load[2], 2) + "\n";
    out += cpu.line();
    // Figures nothing reads; they keep the block the shape a Mac prints.
    out +=
        "SharedLibs: 612M resident, 112M data, 78M linkedit.\n"
        "MemRegions: 253421 total, 6104M resident, 312M private, 2406M shared.\n"
        "PhysMem: 15G used (2291M wired, 1203M compressor), 861M unused.\n"
        "VM: 264T vsize, 4915M framework vsize, 0(0) swapins, 0(0) swapouts.\n"
        "Networks: packets: 12004399/13G in, 6223445/2874M out.\n"
        "Disks: 5830341/98G read, 3260455/74G written.\n"
        "\n";
    return out;
}

std::string table(Snapshot snapshot, std::optional<std::int64_t> limit) {
    auto& rows = snapshot.rows;
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.power > b.power; });
    if (limit && rows.size() > static_cast<std::size_t>(*limit)) rows.resize(static_cast<std::size_t>(*limit));
    std::string out = "PID    COMMAND          POWER\n";
    for (const auto& row : rows) {
        std::string pid = std::to_string(row.pid);
        pid.append(pid.size() < 7 ? 7 - pid.size() : 1, ' ');
        out += pid + padded(cutCommand(row.command), commandWidth + 1) + formatFixed(row.power, 1) + "\n";
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseOptions(argc, argv);
    if (!options) {
        sim::writeError(usage);
        return 1;
    }
    auto machine = sim::machine("top");
    if (!machine) return 1;

    std::optional<std::vector<MachineProcess>> processes;
    const Path file = machine->file("top/processes.json");
    if (fileExists(file)) {
        const auto text = readFile(file);
        processes = text ? parseMachineProcesses(*text) : std::nullopt;
        if (!processes) {
            sim::writeError("top: " + file.string() + " is not a list of processes\n");
            return 1;
        }
    }

    const char* fast = std::getenv("NORVANE_SIM_FAST");
    const auto delay = std::chrono::seconds(fast && std::string_view(fast) == "1" ? 0 : options->delay);
    LiveProcesses live;
    const MachineHostStatistics host(*machine);
    CpuUsage cpu(host);
    for (std::int64_t sample = 0; sample < options->samples; ++sample) {
        if (sample > 0) std::this_thread::sleep_for(delay);
        const bool first = sample == 0;
        Snapshot snapshot = processes ? listed(*processes, first) : live.sample(first);
        sim::writeOut(header(snapshot.counts, cpu) + table(std::move(snapshot), options->rows));
    }
    return 0;
}
