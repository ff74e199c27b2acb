#pragma once
// The catalogue of command-line coding agents that keep-awake can follow: how each one
// is recognised among the running processes and how to tell that it is installed.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Machine.h"

namespace norvane {

struct Agent {
    std::string name{};                   // shown, and the key under which it is ignored
    std::vector<std::string> mark{};      // 9 rows of 9 "0"/"1" dots, top row first
    std::vector<std::string> processes{}; // short process names that are this agent
    std::vector<std::string> paths{};     // fragments of an executable's path
    std::vector<std::string> scripts{};   // fragments of a script run by an interpreter
    std::vector<std::string> commands{};  // command names on disk and as a script's last component
    std::vector<std::string> folders{};   // extra install folders ("~" is the home folder)
    std::vector<std::string> apps{};      // bundle identifiers of its desktop application
    std::vector<std::string> packages{};  // npm packages whose cached presence counts as installed
    std::vector<std::string> impostors{}; // path fragments of other programs with the same name
    bool operator==(const Agent&) const = default;
};

// The thirteen agents, in the order in which they are listed everywhere.
const std::vector<Agent>& agents();

// Where commands are looked for ("~" is the home folder), in order.
const std::vector<std::string>& agentSearchFolders();

// Process names under which a script runs: node, bun, deno, uv and every python.
bool isInterpreter(std::string_view processName);

// The entries of a folder, each joined to it with "/", in the order the folder gives
// them; empty when it cannot be read.
std::vector<std::string> folders(const std::string& path);

// The probes the installed-agents search makes, replaceable by a test.
struct Disk {
    std::function<std::vector<std::string>(const std::string& home)> nodeFolders;
    std::function<bool(const std::string& path)> isExecutable;
    std::function<std::string(const std::string& path)> resolve;
    std::function<bool(const std::string& bundleIdentifier)> hasApp;
    std::function<bool(const std::string& package, const std::string& home)> hasPackage;

    // The real disk; desktop apps are those the machine's workspace knows (none without
    // a machine).
    static Disk standard(const std::optional<Machine>& machine);
};

// Whether the text holds one of the fragments (case-sensitive).
bool containsAny(std::string_view text, const std::vector<std::string>& fragments);

// The names of the installed agents, in catalogue order, each once.
std::vector<std::string> installedAgents(const std::vector<Agent>& catalogue, const std::string& home,
                                         const Disk& disk);

}  // namespace norvane
