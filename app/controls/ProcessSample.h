#pragma once
// The process table as the agent watch reads it: every process with its parent, name,
// executable, CPU time, and, for interpreters, its arguments.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProcessKernel.h"

namespace norvane {

struct ProcessSample {
    std::int32_t pid = 0;
    std::int32_t parent = 0;
    std::string name;  // the short command name, at most 16 bytes
    std::string path;  // empty when it cannot be read
    double cpu = 0;    // user plus system seconds since it started
    std::vector<std::string> arguments;  // for interpreters only; the program name first
    bool operator==(const ProcessSample&) const = default;
};

// Every readable process, in the kernel's order. Processes that cannot be read are
// skipped; a figure that cannot be read is 0 or empty.
std::vector<ProcessSample> readProcesses(const ProcessKernel& kernel = systemProcessKernel());

// The argument vector of a process; empty on any failure.
std::vector<std::string> processArguments(std::int32_t pid, const ProcessKernel& kernel = systemProcessKernel());

// The arguments of an argument area: a 32-bit count, the executable path and its NUL
// padding, then the arguments, each up to the next NUL. Empty when the area is shorter
// than 5 bytes or ends before the first argument; stops early at its end.
std::vector<std::string> parseArgumentArea(std::string_view area);

// Seconds per CPU tick of the timebase; 0 for a timebase without a denominator.
double machTicksToSeconds(const Timebase& timebase);

}  // namespace norvane
