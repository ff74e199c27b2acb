#pragma once
// The program's modes: the one-shot command-line modes, tried in a fixed order before
// anything of the user interface exists, and the menu-bar application when none applies.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "app/controls/AgentTree.h"

namespace norvane {

struct LidGuardMode {  // --lid-guard <pid>
    std::int32_t pid = 0;
    bool operator==(const LidGuardMode&) const = default;
};
struct BatteryReportMode {  // --battery-report <path>
    std::string path;
    bool operator==(const BatteryReportMode&) const = default;
};
struct UpdateCheckMode {  // --update-check
    bool operator==(const UpdateCheckMode&) const = default;
};
struct AgentsMode {  // --agents
    bool operator==(const AgentsMode&) const = default;
};
struct ApplicationMode {  // none of them: the menu-bar application
    bool operator==(const ApplicationMode&) const = default;
};
using LaunchMode = std::variant<LidGuardMode, BatteryReportMode, UpdateCheckMode, AgentsMode, ApplicationMode>;

// The first mode, in the order above, that the arguments (without the program's name)
// ask for. Options match only as whole arguments, exactly.
LaunchMode launchMode(const std::vector<std::string>& arguments);

// One line per catalogued agent: its name in 12 characters, whether it is installed, and
// its running process trees.
std::string agentsReport(const std::vector<Agent>& catalogue, const std::vector<std::string>& installed,
                         const std::vector<AgentTree>& trees);

// The one-shot modes that need no event loop; each prints what it has to say and gives
// the exit status. The lid guard never returns.
int printAgents();
int printUpdateCheck(const std::vector<std::string>& arguments);
[[noreturn]] void runLidGuard(std::int32_t pid);

// The arguments that are URLs of the application's scheme ("norvane:…", the scheme in any
// case), in their order: what the desktop hands a start to open.
std::vector<std::string> schemeUrls(const std::vector<std::string>& arguments);

}  // namespace norvane
