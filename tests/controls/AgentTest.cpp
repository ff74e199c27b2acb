#include "app/controls/Agent.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace norvane {
namespace {

TEST(Agents, TheCatalogueHoldsThirteenAgentsWithNineByNineMarks) {
    std::vector<std::string> names;
    for (const auto& agent : agents()) {
        names.push_back(agent.name);
        ASSERT_EQ(agent.mark.size(), 9u) << agent.name;
        for (const auto& row : agent.mark)
            EXPECT_TRUE(row.size() == 9 && row.find_first_not_of("01") == std::string::npos) << agent.name;
        EXPECT_FALSE(agent.commands.empty()) << agent.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Claude Code", "Codex", "Cursor", "OpenCode", "Copilot", "DeepSeek",
                                               "Gemini", "Antigravity", "Qwen Code", "Goose", "Aider", "Kimi",
                                               "Grok"}));
}

TEST(Agents, InterpretersAreNodeBunDenoUvAndEveryPython) {
    for (const char* name : {"node", "bun", "deno", "uv", "python", "python3.12", "Python", "PYTHON3"})
        EXPECT_TRUE(isInterpreter(name)) << name;
    for (const char* name : {"", "nodejs", "pytho", "ruby", "Node", "uvx"}) EXPECT_FALSE(isInterpreter(name)) << name;
}

// A disk of the test's making: which files are executable, where links lead, which apps
// and packages exist; it remembers every path probed.
struct FakeDisk {
    std::set<std::string> executables{};
    std::map<std::string, std::string> links{};
    std::set<std::string> apps{};
    std::set<std::string> packages{};
    std::vector<std::string> nodeFolders{};
    std::shared_ptr<std::vector<std::string>> probed = std::make_shared<std::vector<std::string>>();

    Disk disk() const {
        Disk d;
        d.nodeFolders = [folders = nodeFolders](const std::string&) { return folders; };
        d.isExecutable = [this](const std::string& path) {
            probed->push_back(path);
            return executables.contains(path);
        };
        d.resolve = [this](const std::string& path) {
            const auto link = links.find(path);
            return link == links.end() ? path : link->second;
        };
        d.hasApp = [this](const std::string& id) { return apps.contains(id); };
        d.hasPackage = [this](const std::string& package, const std::string& home) {
            return home == "/Users/me" && packages.contains(package);
        };
        return d;
    }
};

TEST(InstalledAgents, FindsAppsPackagesAndCommandsInCatalogueOrder) {
    struct Case {
        const char* what;
        FakeDisk disk;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"nothing", {}, {}},
        {"a desktop app without a command", {.apps = {"com.anthropic.claudefordesktop"}}, {"Claude Code"}},
        {"a cached npm package", {.packages = {"@deepseek-ai/dsh"}}, {"DeepSeek"}},
        {"commands anywhere, listed in catalogue order",
         {.executables = {"/Users/me/.local/bin/gemini", "/Users/me/.local/share/mise/shims/codex"}},
         {"Codex", "Gemini"}},
        {"an agent's own folder", {.executables = {"/Users/me/.grok/bin/grok"}}, {"Grok"}},
        {"a Node version's folder",
         {.executables = {"/Users/me/.nvm/versions/node/v22/bin/qwen"},
          .nodeFolders = {"/Users/me/.nvm/versions/node/v22/bin"}},
         {"Qwen Code"}},
        {"Homebrew's other goose",
         {.executables = {"/opt/homebrew/bin/goose"},
          .links = {{"/opt/homebrew/bin/goose", "/opt/homebrew/Cellar/goose/1.0/bin/goose"}}},
         {}},
        {"another goose first, then the real one",
         {.executables = {"/opt/homebrew/bin/goose", "/usr/local/bin/goose"},
          .links = {{"/opt/homebrew/bin/goose", "/opt/homebrew/Cellar/goose/1.0/bin/goose"}}},
         {"Goose"}},
        {"a goose built with go", {.executables = {"/Users/me/go/bin/goose"}}, {}},
        {"found twice, named once",
         {.executables = {"/usr/local/bin/kimi", "/usr/local/bin/kimi-cli", "/Users/me/.kimi-code/bin/kimi"}},
         {"Kimi"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(installedAgents(agents(), "/Users/me", c.disk.disk()), c.expected) << c.what;
}

TEST(InstalledAgents, WithoutNodeManagersOnlyTheSearchFoldersAndOwnFoldersAreProbed) {
    const FakeDisk fake;
    installedAgents({agents()[12]}, "/Users/me", fake.disk());  // Grok: one command, one own folder
    std::vector<std::string> expected;
    for (const char* folder :
         {"/Users/me/.local/bin", "/opt/homebrew/bin", "/usr/local/bin", "/Users/me/.bun/bin", "/Users/me/.cargo/bin",
          "/Users/me/.npm-global/bin", "/Users/me/Library/pnpm", "/Users/me/.volta/bin", "/Users/me/.deno/bin",
          "/Users/me/go/bin", "/Users/me/.asdf/shims", "/Users/me/.local/share/mise/shims", "/Users/me/.grok/bin"})
        expected.push_back(std::string(folder) + "/grok");
    EXPECT_EQ(*fake.probed, expected);
}

}  // namespace
}  // namespace norvane
