#include "app/controls/AgentWatch.h"

#include <algorithm>
#include <set>

namespace norvane {
namespace {
constexpr double measuredOver = 4.0;   // seconds
constexpr double ownBusy = 0.01;       // CPU seconds per second of the agent's own process
constexpr double childrenBusy = 0.05;  // of its descendants together
constexpr double workingFor = 300.0;   // seconds after the last sign of work
}  // namespace

void AgentWatch::update(const std::vector<AgentTree>& trees, Date now) {
    for (const auto& tree : trees) {
        const Seen fresh{tree.own, tree.cpu, tree.processes, now};
        const auto stored = seen.find(tree.pid);
        if (stored == seen.end()) {
            seen.emplace(tree.pid, fresh);  // new: remembered, not yet work
            continue;
        }
        const Seen& before = stored->second;
        const double elapsed = now - before.time;
        if (tree.processes != before.processes) {
            lastBusy[tree.name] = now;
            stored->second = fresh;
        } else if (elapsed >= measuredOver) {
            const double ownRate = (tree.own - before.own) / elapsed;
            const double childRate = ((tree.cpu - tree.own) - (before.cpu - before.own)) / elapsed;
            if (ownRate >= ownBusy || childRate >= childrenBusy) lastBusy[tree.name] = now;
            stored->second = fresh;
        } else if (elapsed < 0) {
            // The clock was set back: measuring from the stored time would wait out the
            // whole jump, so start measuring afresh.
            stored->second = fresh;
        }
        // Under 4 seconds: keep the stored sample, so short ticks add up.
    }
    std::set<std::int32_t> pids;
    std::set<std::string> names;
    for (const auto& tree : trees) {
        pids.insert(tree.pid);
        names.insert(tree.name);
    }
    std::erase_if(seen, [&](const auto& entry) { return !pids.contains(entry.first); });
    std::erase_if(lastBusy, [&](const auto& entry) { return !names.contains(entry.first); });
}

std::vector<std::string> AgentWatch::working(Date now) const {
    std::vector<std::string> out;
    for (const auto& [name, busy] : lastBusy)
        if (now - busy < workingFor) out.push_back(name);
    return out;
}

}  // namespace norvane
