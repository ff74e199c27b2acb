#include "app/controls/AgentTree.h"

#include <algorithm>
#include <unordered_map>

#include "platform/PathComponents.h"

namespace norvane {
namespace {

constexpr int deepestParent = 31;  // processes at depth 32 count without their descendants
constexpr std::size_t scriptArguments = 4;

bool equalsAny(std::string_view text, const std::vector<std::string>& words) {
    return std::find(words.begin(), words.end(), text) != words.end();
}

using Children = std::unordered_map<std::int32_t, std::vector<std::size_t>>;

void gather(const std::vector<ProcessSample>& samples, const Children& children, std::int32_t pid, int depth,
            AgentTree& tree) {
    if (depth > deepestParent) return;
    const auto found = children.find(pid);
    if (found == children.end()) return;
    for (const std::size_t index : found->second) {
        const ProcessSample& child = samples[index];
        if (child.pid == pid) continue;  // its own parent: not a descendant
        tree.cpu += child.cpu;
        tree.processes += 1;
        gather(samples, children, child.pid, depth + 1, tree);
    }
}

}  // namespace

std::optional<std::string> agentName(std::string_view process, std::string_view path,
                                     const std::vector<std::string>& arguments, const std::vector<Agent>& catalogue) {
    const bool interpreter = isInterpreter(process);
    for (const auto& agent : catalogue) {
        if (containsAny(path, agent.impostors)) continue;
        if (equalsAny(process, agent.processes) || containsAny(path, agent.paths)) return agent.name;
        if (!interpreter) continue;
        for (std::size_t i = 1; i < arguments.size() && i <= scriptArguments; ++i) {
            const std::string& argument = arguments[i];
            if (argument.starts_with("-")) continue;
            if (containsAny(argument, agent.scripts) || equalsAny(lastPathComponent(argument), agent.commands))
                return agent.name;
        }
    }
    return std::nullopt;
}

std::vector<AgentTree> agentTrees(const std::vector<ProcessSample>& processes) {
    Children children;
    for (std::size_t i = 0; i < processes.size(); ++i) children[processes[i].parent].push_back(i);
    std::vector<AgentTree> trees;
    for (const auto& sample : processes) {
        auto name = agentName(sample.name, sample.path, sample.arguments, agents());
        if (!name) continue;
        AgentTree tree{sample.pid, std::move(*name), sample.cpu, sample.cpu, 1};
        gather(processes, children, sample.pid, 0, tree);
        trees.push_back(std::move(tree));
    }
    return trees;
}

}  // namespace norvane
