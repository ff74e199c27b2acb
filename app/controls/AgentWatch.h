#pragma once
// What keep-awake remembers between ticks to tell a working agent from an idle one: an
// agent works while its process count changes or it uses CPU, and counts as working for
// 300 seconds after that.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/controls/AgentTree.h"
#include "platform/Time.h"

namespace norvane {

struct AgentWatch {
    struct Seen {
        double own = 0;
        double cpu = 0;
        std::int64_t processes = 0;
        Date time;
        bool operator==(const Seen&) const = default;
    };
    std::map<std::int32_t, Seen> seen;       // the stored sample per agent process
    std::map<std::string, Date> lastBusy;    // per agent name, when it last did work

    // Compares each tree with its stored sample: a change in process count is work at
    // once; CPU use is measured over at least 4 seconds (shorter ticks accumulate). Agents
    // whose processes are gone are forgotten.
    void update(const std::vector<AgentTree>& trees, Date now);
    // The agents busy less than 300 seconds before `now`, by name.
    std::vector<std::string> working(Date now) const;

    bool operator==(const AgentWatch&) const = default;
};

}  // namespace norvane
