#pragma once
// Which running processes are coding agents, each with its descendants gathered into
// one tree whose process count and CPU time tell whether the agent is working.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/controls/Agent.h"
#include "app/controls/ProcessSample.h"

namespace norvane {

struct AgentTree {
    std::int32_t pid = 0;  // the recognised process
    std::string name;      // the agent's catalogue name
    double own = 0;        // the recognised process's CPU seconds
    double cpu = 0;        // of it and its counted descendants
    std::int64_t processes = 0;  // 1 plus the counted descendants
    bool operator==(const AgentTree&) const = default;
};

// The agent a process belongs to: by its short name, its executable's path, or, for an
// interpreter, one of its first four arguments that is not an option. The first agent of
// the catalogue that matches wins; a path with one of an agent's impostors is never it.
std::optional<std::string> agentName(std::string_view process, std::string_view path,
                                     const std::vector<std::string>& arguments, const std::vector<Agent>& catalogue);

// One tree per recognised process, in table order. Descendants are counted down to 32
// levels below it; an agent running under another agent has a tree of its own as well.
std::vector<AgentTree> agentTrees(const std::vector<ProcessSample>& processes);

}  // namespace norvane
