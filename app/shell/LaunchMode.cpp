#include "app/shell/LaunchMode.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/controls/Lid.h"
#include "app/update/Updates.h"
#include "platform/CommandLine.h"
#include "platform/ProcessTable.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::size_t nameWidth = 12;

std::string fitted(const std::string& name) {
    std::u32string characters = decodeUtf8(decodeUtf8Lossy(name)).value_or(std::u32string());
    characters.resize(nameWidth, U' ');
    return encodeUtf8(characters);
}

}  // namespace

int printAgents() {
    const auto machine = Machine::current();
    const auto installed = installedAgents(agents(), homeFolder().string(), Disk::standard(machine));
    const std::string report = agentsReport(agents(), installed, agentTrees(readProcesses()));
    std::fwrite(report.data(), 1, report.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// One line: the running build, what the website offers and whether it is newer.
int printUpdateCheck(const std::vector<std::string>& arguments) {
    const FolderBundle bundle = FolderBundle::running();
    std::vector<std::string> commandLine{ownProcessPath()};
    commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
    const Updates updates(std::move(commandLine), bundle);
    const auto answer = updates.latest();
    const auto running = updates.runningBuild();
    const std::string line =
        "running build: " + (running ? std::to_string(*running) : "none") +
        " | website: " + (answer ? answer->version + " (" + std::to_string(answer->build) + ")" : "no answer") +
        " | offered: " + (answer && running && *running < answer->build ? answer->version : "nothing") + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    return 0;
}

void runLidGuard(std::int32_t pid) {
    const auto machine = Machine::current();
    if (!machine) {
        std::fprintf(stderr, "Norvane lid guard: no machine folder (set NORVANE_MACHINE)\n");
        std::exit(1);
    }
    Lid::runGuard(*machine, pid);
}

std::vector<std::string> schemeUrls(const std::vector<std::string>& arguments) {
    std::vector<std::string> urls;
    for (const auto& argument : arguments)
        if (lowercased(argument).starts_with("norvane:")) urls.push_back(argument);
    return urls;
}

LaunchMode launchMode(const std::vector<std::string>& arguments) {
    if (const auto pid = argumentAfter(arguments, "--lid-guard"))
        if (const auto number = parseInt32(*pid)) return LidGuardMode{*number};
    if (auto path = argumentAfter(arguments, "--battery-report")) return BatteryReportMode{std::move(*path)};
    if (hasArgument(arguments, "--update-check")) return UpdateCheckMode{};
    if (hasArgument(arguments, "--agents")) return AgentsMode{};
    return ApplicationMode{};
}

std::string agentsReport(const std::vector<Agent>& catalogue, const std::vector<std::string>& installed,
                         const std::vector<AgentTree>& trees) {
    std::string out;
    for (const auto& agent : catalogue) {
        out += fitted(agent.name) + " " +
               (std::find(installed.begin(), installed.end(), agent.name) != installed.end() ? "installed    "
                                                                                             : "not installed") +
               " ";
        std::string running;
        for (const auto& tree : trees) {
            if (tree.name != agent.name) continue;
            running += (running.empty() ? "running: " : ", ") + std::string("pid ") + std::to_string(tree.pid) + " (" +
                       std::to_string(tree.processes) + " processes)";
        }
        out += (running.empty() ? "not running" : running) + "\n";
    }
    return out;
}

}  // namespace norvane
