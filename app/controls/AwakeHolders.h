#pragma once
// Which other applications keep the Mac awake, with a short reason where one can be told,
// and the line that sums them up.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/PowerAssertions.h"

namespace norvane {

struct AwakeHolder {
    std::string name;
    std::optional<std::string> reason;  // "playing audio" or "recording audio"
    bool operator==(const AwakeHolder&) const = default;
};

// One assertion as read, charged to the process it was made for.
struct AssertionRecord {
    std::int32_t pid = 0;
    std::string process;  // the process's name
    std::string path;     // its executable; empty when unknown
    std::string type;
    std::string name;     // the assertion's name and the resources it uses
    bool operator==(const AssertionRecord&) const = default;
};

// The assertion types that keep the Mac awake.
const std::set<std::string, std::less<>>& sleepBlocking();

// The holders of the assertions listed now, without this process and the system's own
// programs. `processPath` gives a process's executable (the machine's simulated processes
// included). Empty when the list cannot be read or is not a dictionary from process ids
// to lists of assertion dictionaries.
std::vector<AwakeHolder> readAwakeHolders(const PowerAssertions& assertions,
                                          const std::function<std::string(std::int32_t)>& processPath);

// The same on a machine: its assertions, and the paths of its processes, simulated ones
// (those its `top` lists) included.
std::vector<AwakeHolder> readAwakeHolders(const Machine& machine);

// Filters, names and groups the records: one holder per application bundle (its helpers
// included) or per process name, ordered by name ignoring case.
std::vector<AwakeHolder> awakeHolders(const std::vector<AssertionRecord>& records, std::int32_t own);

// "Kept awake by A, B and C" (more than three: "A, B, C and 2 more"); none for no holders.
std::optional<std::string> holdersLine(const std::vector<AwakeHolder>& holders);

}  // namespace norvane
