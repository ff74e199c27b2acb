#pragma once
// What the kernel tells about processes, in the shape the process sampler asks for: the
// list of process ids, each one's short name and parent, its CPU time in ticks with the
// timebase that turns ticks into time, its executable path and its argument area. On
// this machine /proc answers for real; tests may hand the sampler a kernel of their own.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace norvane {

struct ProcessInfo {
    std::string name;  // the short command name as the kernel keeps it (raw bytes)
    std::int32_t parent = 0;
};

struct CpuTicks {
    std::uint64_t user = 0;
    std::uint64_t system = 0;
};

// What one look at a process gives: its name and parent, and its CPU time when that can
// be read (as a Mac's read of all of a task's information gives both at once).
struct ProcessRecord {
    ProcessInfo info;
    std::optional<CpuTicks> ticks;
};

// ticks × numer ÷ denom = nanoseconds.
struct Timebase {
    std::uint64_t numer = 1;
    std::uint64_t denom = 1;
};

// On this machine kernel threads are no processes of the table: a Mac lists none, they have
// no executable and no process of a user descends from them, so they give no information.
class ProcessKernel {
public:
    virtual ~ProcessKernel() = default;
    // How many processes there are now; a hint for the room to list them in.
    virtual int processCount() const = 0;
    // Writes up to `into.size()` process ids and returns how many the kernel has, which
    // may be more than fit when processes were started meanwhile; negative on failure.
    virtual int listProcessIds(std::span<std::int32_t> into) const = 0;
    virtual std::optional<ProcessInfo> info(std::int32_t pid) const = 0;
    virtual std::optional<CpuTicks> cpuTicks(std::int32_t pid) const = 0;
    // `info` and `cpuTicks` together; a kernel that keeps both in one place reads it once.
    virtual std::optional<ProcessRecord> record(std::int32_t pid) const {
        auto found = info(pid);
        if (!found) return std::nullopt;
        return ProcessRecord{*std::move(found), cpuTicks(pid)};
    }
    // The executable's path; empty when it cannot be read.
    virtual std::string path(std::int32_t pid) const = 0;
    // The process's argument area: the argument count (32 bits, native order), the
    // executable path, NUL padding, then the arguments, each ended by a NUL. Absent when
    // it cannot be read.
    virtual std::optional<std::string> argumentArea(std::int32_t pid) const = 0;
    virtual Timebase timebase() const = 0;
};

// The real process table, from /proc.
const ProcessKernel& systemProcessKernel();

// One /proc/<pid>/stat record, the fields we use.
struct ProcStat {
    std::string name;  // the command, up to 15 bytes
    char state = '?';  // 'R' running, 'Z' ended but not yet reaped, …
    std::int32_t parent = 0;
    bool kernelThread = false;
    std::uint64_t user = 0, system = 0;  // clock ticks
    std::int64_t threads = 0;
    std::uint64_t start = 0;  // clock ticks after boot
};
std::optional<ProcStat> parseProcStat(std::string_view text);
std::optional<ProcStat> readProcStat(std::int32_t pid);

// Whether the process exists: only "no such process" means gone (a process of another
// user that we may not signal still exists). A pid not above 0 names a group or every
// process, never the one process meant, and counts as gone.
bool processExists(std::int32_t pid);

// Blocks until the process has ended (an ended process not yet reaped counts as ended),
// without polling where the kernel can tell us (a pidfd); returns at once when it is
// gone already. With a time limit, false when it still runs when the limit is reached.
bool waitForProcessEnd(std::int32_t pid, std::optional<double> seconds = std::nullopt);

// When the process started, in clock ticks after boot; a pid reused by a later process
// has another start. Absent when the process is gone.
std::optional<std::uint64_t> processStartTime(std::int32_t pid);
// This process's start, read through /proc/self: /proc may list another PID namespace's
// processes than ours (one mounted for an outer namespace), where our pid names another.
std::optional<std::uint64_t> ownStartTime();

}  // namespace norvane
