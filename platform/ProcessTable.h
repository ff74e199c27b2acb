#pragma once
// The process table: which executable a process runs. On this machine the kernel's
// /proc answers for real processes; a machine folder may also list simulated ones (the
// processes its `top` reports), which do not exist in /proc.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Machine.h"

namespace norvane {

// The path of a process's file in /proc ("/proc/42/status").
std::string procFile(std::int32_t pid, std::string_view name);

// The executable path of a running process, as the kernel reports it (a deleted
// executable keeps the kernel's " (deleted)" suffix). Invalid UTF-8 is repaired. Empty
// when the pid is not above 0, unknown, or not ours to inspect.
std::string processPath(std::int32_t pid);
// This program's executable path, read through /proc/self: /proc may list another PID
// namespace's processes than ours, where our pid names another.
std::string ownProcessPath();

// Whether the process lives in this process's own user and pid namespaces. A process with
// power over a pid namespace of its own (any user can make one with a user namespace) may name
// any process of it as the sender of what it sends on a socket; such a process lives in
// another. False when it cannot be told.
bool inOwnNamespaces(std::int32_t pid);

// A mapping a process may run code from, as the kernel lists it in /proc/<pid>/maps: the
// file's path (with the kernel's " (deleted)" mark when it was removed) and inode, the kernel's
// name of a region of its own ("[vdso]", "[stack]"), or nothing for anonymous memory; and for a
// file, how many of its pages no longer come from the file: written since they were mapped (a
// write into a private file mapping makes a copy), in memory or swapped out.
struct MappedCode {
    std::string path;
    std::uint64_t inode = 0;
    std::uint64_t writtenPages = 0;
    bool operator==(const MappedCode&) const = default;
};
// Every executable mapping of the process, its files' pages looked up in its page map
// (/proc/<pid>/pagemap) — those alone, so the cost follows the code the process has, not its
// memory. Absent when either cannot be read (a process of another user, or one that forbids
// being looked at), when the map holds more than `maximumMapBytes`, or when its files' code
// spans more than `maximumCodePages`.
std::optional<std::vector<MappedCode>> mappedCode(std::int32_t pid);
// The mappings of a map's text, none of their pages looked up.
std::vector<MappedCode> parseMappedCode(std::string_view maps);
// A process's map beyond this is not read: a few hundred mappings take tens of kilobytes.
inline constexpr std::size_t maximumMapBytes = std::size_t{16} << 20;
// 1 GiB of code in 4 KiB pages: far more than any program maps.
inline constexpr std::uint64_t maximumCodePages = std::uint64_t{1} << 18;
// Whether a page of a private file mapping no longer comes from its file, by its page-map
// entry: present but no page of a file (a copy, written), or swapped out (only such copies are).
constexpr bool isWrittenPage(std::uint64_t entry) {
    const bool present = (entry >> 63) & 1, swapped = (entry >> 62) & 1, file = (entry >> 61) & 1;
    return (present && !file) || swapped;
}

// Who traces the process (TracerPid in /proc/<pid>/status): 0 for no one; absent when it
// cannot be read.
std::optional<std::int32_t> processTracer(std::int32_t pid);
std::optional<std::int32_t> parseTracer(std::string_view status);

// The names of the variables a process started with (/proc/<pid>/environ); absent when they
// cannot be read, or take more than `maximumEnvironmentBytes`.
std::optional<std::vector<std::string>> processEnvironmentNames(std::int32_t pid);
std::vector<std::string> parseEnvironmentNames(std::string_view environ);
inline constexpr std::size_t maximumEnvironmentBytes = std::size_t{4} << 20;

// One process of the machine folder's top/processes.json.
struct MachineProcess {
    std::int32_t pid = 0;
    std::string command;
    std::string path;  // empty when the process has no executable file (kernel_task)
    double power = 0;
    bool operator==(const MachineProcess&) const = default;
};

// The entries of a top/processes.json text: an array of objects with an integer "pid",
// a string "command", and optionally a string "path" and a finite number "power" (0 when
// absent). Absent when the text is not such an array.
std::optional<std::vector<MachineProcess>> parseMachineProcesses(std::string_view json);

// The path of a process of this machine: the one top/processes.json gives for the pid,
// else the real process's (processPath).
std::string machineProcessPath(const Machine& machine, std::int32_t pid);
// The same lookup for many pids: looks at top/processes.json once (one sampler pass asks for
// every row of `top`), parsing it again only when it changed.
std::function<std::string(std::int32_t)> machineProcessPaths(const Machine& machine);

}  // namespace norvane
