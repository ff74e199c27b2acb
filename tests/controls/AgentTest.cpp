#include "app/controls/Agent.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace norvane {
namespace {

TEST(Agents, EveryMarkIsNineRowsOfNineDots) {
    ASSERT_EQ(agents().size(), 13u);
    for (const auto& agent : agents()) {
        ASSERT_EQ(agent.mark.size(), 9u) << agent.name;
        for (const auto& row : agent.mark)
            EXPECT_TRUE(row.size() == 9 && row.find_first_not_of("01") == std::string::npos) << agent.name;
    }
}

// A disk of the test's making: which files are executable, where links lead, which apps
// and packages exist.
struct FakeDisk {
    std::set<std::string> executables{};
    std::map<std::string, std::string> links{};
    std::set<std::string> apps{};
    std::set<std::string> packages{};
    std::vector<std::string> nodeFolders{};

    Disk disk() const {
        Disk d;
        d.nodeFolders = [folders = nodeFolders](const std::string&) { return folders; };
        d.isExecutable = [this](const std::string& path) { return executables.contains(path); };
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

}  // namespace
}  // namespace norvane
