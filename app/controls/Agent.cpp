#include "app/controls/Agent.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

#include "platform/Workspace.h"

namespace norvane {
namespace {

std::string expandHome(const std::string& folder, const std::string& home) {
    if (folder.starts_with("~")) return home + folder.substr(1);
    return folder;
}

bool commandInstalled(const Agent& agent, const std::vector<std::string>& base, const std::string& home,
                      const Disk& disk) {
    std::vector<std::string> candidates = base;
    for (const auto& own : agent.folders) candidates.push_back(expandHome(own, home));
    for (const auto& folder : candidates) {
        for (const auto& command : agent.commands) {
            const std::string candidate = folder + "/" + command;
            if (!disk.isExecutable(candidate)) continue;
            // Another program of the same name does not count; the search goes on.
            if (containsAny(disk.resolve(candidate), agent.impostors) || containsAny(candidate, agent.impostors))
                continue;
            return true;
        }
    }
    return false;
}

}  // namespace

bool containsAny(std::string_view text, const std::vector<std::string>& fragments) {
    return std::any_of(fragments.begin(), fragments.end(),
                       [&](const std::string& fragment) { return text.find(fragment) != std::string_view::npos; });
}

const std::vector<Agent>& agents() {
    static const std::vector<Agent> catalogue = {
        {.name = "Claude Code",
         .mark = {"000010000", "010010010", "001010100", "000111000", "111111111", "000111000", "001010100",
                  "010010010", "000010000"},
         .processes = {"claude"},
         .paths = {"/claude/versions/"},
         .commands = {"claude"},
         .apps = {"com.anthropic.claudefordesktop"}},
        {.name = "Codex",
         .mark = {"000000000", "010000000", "001000000", "000100000", "001000000", "010000000", "000001111",
                  "000000000", "000000000"},
         .processes = {"codex"},
         .commands = {"codex"},
         .apps = {"com.openai.codex"}},
        {.name = "Cursor",
         .mark = {"100000000", "110000000", "111000000", "111100000", "111110000", "111111000", "111100000",
                  "100110000", "000011000"},
         .processes = {"cursor-agent"},
         .paths = {"/cursor-agent/versions/", "/Caskroom/cursor-cli/"},
         .scripts = {"/cursor-agent/", "/cursor-cli/"},
         .commands = {"cursor-agent"}},
        {.name = "OpenCode",
         .mark = {"111111111", "100000001", "100000001", "100000001", "100111001", "100111001", "100111001",
                  "100000001", "111111111"},
         .processes = {"opencode", "opencode.exe", "opencode-cli"},
         .commands = {"opencode", "opencode2"},
         .folders = {"~/.opencode/bin"},
         .apps = {"ai.opencode.desktop"}},
        {.name = "Copilot",
         .mark = {"000000000", "011101110", "110111011", "110111011", "011101110", "000000000", "010000010",
                  "001111100", "000000000"},
         .processes = {"copilot"},
         .scripts = {"/@github/copilot/"},
         .commands = {"copilot"},
         .impostors = {"/Cellar/copilot/"}},
        {.name = "DeepSeek",
         .mark = {"000000000", "000000011", "011110011", "111111110", "110111110", "111111100", "011111000",
                  "000000000", "000000000"},
         .scripts = {"/@deepseek-ai/dsh/"},
         .commands = {"dsh"},
         .packages = {"@deepseek-ai/dsh"},
         .impostors = {"/Cellar/dsh/"}},
        {.name = "Gemini",
         .mark = {"000010000", "000010000", "000111000", "001111100", "111111111", "001111100", "000111000",
                  "000010000", "000010000"},
         .scripts = {"/@google/gemini-cli/"},
         .commands = {"gemini"}},
        {.name = "Antigravity",
         .mark = {"000111000", "011111110", "110000011", "110000011", "100000001", "100000001", "100000001",
                  "000000000", "000000000"},
         .processes = {"agy", "antigravity"},
         .commands = {"agy"}},
        {.name = "Qwen Code",
         .mark = {"001111100", "011000110", "110000011", "110000011", "110000011", "110010011", "110001110",
                  "011000110", "001111011"},
         .paths = {"/.local/lib/qwen-code/"},
         .scripts = {"/@qwen-code/qwen-code/", "/qwen-code/"},
         .commands = {"qwen"}},
        {.name = "Goose",
         .mark = {"001100000", "111100000", "001100000", "001100000", "001110000", "000111110", "000111111",
                  "000111110", "000011100"},
         .processes = {"goose", "goosed"},
         .commands = {"goose"},
         .apps = {"com.electron.goose", "com.block.goose"},
         .impostors = {"/Cellar/goose/", "/go/bin/goose"}},
        {.name = "Aider",
         .mark = {"000010000", "000111000", "000101000", "001101100", "001000100", "011111110", "011000110",
                  "110000011", "110000011"},
         .paths = {"/uv/tools/aider-chat/", "/pipx/venvs/aider-chat/"},
         .scripts = {"/aider-chat/"},
         .commands = {"aider"}},
        {.name = "Kimi",
         .mark = {"110000110", "110001100", "110011000", "110110000", "111100000", "110110000", "110011000",
                  "110001100", "110000110"},
         .processes = {"kimi"},
         .paths = {"/.kimi-code/bin/"},
         .scripts = {"/@moonshot-ai/kimi-code/", "/kimi-cli/", "/kimi_cli/"},
         .commands = {"kimi", "kimi-cli"},
         .folders = {"~/.kimi-code/bin"}},
        {.name = "Grok",
         .mark = {"000111001", "001000010", "010000100", "100001001", "100010001", "100100001", "001000010",
                  "010000100", "100111000"},
         .processes = {"grok"},
         .paths = {"/.grok/downloads/", "/.grok/bin/"},
         .commands = {"grok"},
         .folders = {"~/.grok/bin"}},
    };
    return catalogue;
}

const std::vector<std::string>& agentSearchFolders() {
    static const std::vector<std::string> all = {
        "~/.local/bin",  "/opt/homebrew/bin", "/usr/local/bin", "~/.bun/bin",    "~/.cargo/bin",
        "~/.npm-global/bin", "~/Library/pnpm", "~/.volta/bin", "~/.deno/bin", "~/go/bin",
        "~/.asdf/shims", "~/.local/share/mise/shims"};
    return all;
}

bool isInterpreter(std::string_view name) {
    if (name == "node" || name == "bun" || name == "deno" || name == "uv") return true;
    if (name.size() < 6) return false;
    std::string start(name.substr(0, 6));
    std::transform(start.begin(), start.end(), start.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    });
    return start == "python";
}

std::vector<std::string> folders(const std::string& path) {
    std::vector<std::string> out;
    std::error_code error;
    for (std::filesystem::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
        out.push_back(path + "/" + it->path().filename().string());
    return out;
}

Disk Disk::standard(const std::optional<Machine>& machine) {
    Disk disk;
    disk.nodeFolders = [](const std::string& home) {
        std::vector<std::string> out;
        for (const auto& root : {home + "/.nvm/versions/node", home + "/.local/share/fnm/node-versions",
                                 home + "/.fnm/node-versions"}) {
            for (const auto& entry : folders(root)) {
                out.push_back(entry + "/bin");
                out.push_back(entry + "/installation/bin");
            }
        }
        return out;
    };
    disk.isExecutable = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    disk.resolve = [](const std::string& path) {
        std::error_code error;
        const auto resolved = std::filesystem::canonical(path, error);
        return error ? path : resolved.string();
    };
    disk.hasApp = [workspace = machine ? std::optional<MachineWorkspace>(MachineWorkspace(*machine)) : std::nullopt](
                      const std::string& bundleIdentifier) {
        return workspace && workspace->urlForApplication(bundleIdentifier).has_value();
    };
    disk.hasPackage = [](const std::string& package, const std::string& home) {
        for (const auto& entry : folders(home + "/.npm/_npx"))
            if (fileExists(entry + "/node_modules/" + package + "/package.json")) return true;
        return false;
    };
    return disk;
}

std::vector<std::string> installedAgents(const std::vector<Agent>& catalogue, const std::string& home,
                                         const Disk& disk) {
    std::vector<std::string> base;
    for (const auto& folder : agentSearchFolders()) base.push_back(expandHome(folder, home));
    for (auto& folder : disk.nodeFolders(home)) base.push_back(std::move(folder));

    std::vector<std::string> out;
    for (const auto& agent : catalogue) {
        const bool installed =
            std::any_of(agent.apps.begin(), agent.apps.end(), [&](const auto& app) { return disk.hasApp(app); }) ||
            std::any_of(agent.packages.begin(), agent.packages.end(),
                        [&](const auto& package) { return disk.hasPackage(package, home); }) ||
            commandInstalled(agent, base, home, disk);
        if (installed && std::find(out.begin(), out.end(), agent.name) == out.end()) out.push_back(agent.name);
    }
    return out;
}

}  // namespace norvane
