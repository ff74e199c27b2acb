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
