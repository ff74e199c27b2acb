#include "app/controls/AgentTree.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cstring>
#include <map>

#include "platform/ChildProcess.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using Arguments = std::vector<std::string>;

TEST(AgentName, RecognisesNamesPathsAndScriptsButNoImpostors) {
    const std::string gemini = "/Users/me/.npm-global/lib/node_modules/@google/gemini-cli/dist/index.js";
    struct Case {
        std::string process, path;
        Arguments arguments;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"claude", "/Users/me/.local/bin/claude", {}, "Claude Code"},
        {"2.1.3", "/Users/me/.local/share/claude/versions/2.1.3", {}, "Claude Code"},
        {"node", "/usr/bin/node", {"node", gemini}, "Gemini"},
        {"node", "/usr/bin/node", {"node", "--no-warnings", gemini}, "Gemini"},
        {"node", "/usr/bin/node", {"node", "a", "b", "c", "d", gemini}, std::nullopt},  // a fifth is never read
        {"python3.12", "/usr/bin/python3.12", {"python3.12", "/Users/me/.local/bin/aider"}, "Aider"},
        {"Python", "", {"Python", "/Users/me/.local/bin/aider", "--model", "x"}, "Aider"},
        {"node", "", {"node", "/usr/local/bin/codex/"}, "Codex"},
        {"bash", "/bin/bash", {"bash", "/Users/me/.local/bin/aider"}, std::nullopt},  // not an interpreter
        {"node", "/Users/me/.local/lib/qwen-code/node", {}, "Qwen Code"},
        {"goose", "/opt/homebrew/Cellar/goose/1.0/bin/goose", {}, std::nullopt},
        {"goose", "/opt/homebrew/bin/goose", {}, "Goose"},
        {"claude", "/x/cursor-agent/versions/1/cursor-agent", {}, "Claude Code"},  // the first agent wins
        {"node", "", {}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(agentName(c.process, c.path, c.arguments, agents()), c.expected) << c.process << " " << c.path;
}

ProcessSample sample(std::int32_t pid, std::int32_t parent, std::string name, double cpu) {
    return {pid, parent, std::move(name), "", cpu, {}};
}

TEST(AgentTrees, GatherDescendantsDownTo32LevelsAndNeverMerge) {
    std::vector<ProcessSample> table{sample(1, 1, "launchd", 5), sample(100, 1, "claude", 2)};
    // A chain of 40 processes under the agent: levels 1 to 32 count, the rest do not.
    for (std::int32_t pid = 101; pid <= 140; ++pid) table.push_back(sample(pid, pid - 1, "zsh", 0.5));
    // An agent under the agent: a tree of its own, and counted in the outer one too.
    table.push_back(sample(200, 100, "codex", 1));
    table.push_back(sample(201, 200, "rg", 0.25));

    const auto trees = agentTrees(table);
    ASSERT_EQ(trees.size(), 2u);
    EXPECT_EQ(trees[0], (AgentTree{100, "Claude Code", 2, 2 + 32 * 0.5 + 1 + 0.25, 1 + 32 + 2}));
    EXPECT_EQ(trees[1], (AgentTree{200, "Codex", 1, 1.25, 2}));

    // A process that names itself as its parent is not its own descendant.
    EXPECT_EQ(agentTrees({sample(7, 7, "grok", 3)}), (std::vector<AgentTree>{{7, "Grok", 3, 3, 1}}));
}

TEST(ArgumentArea, ReadsTheArgumentsAfterThePathAndItsPadding) {
    auto area = [](std::int32_t count, std::string rest) {
        std::string bytes(4, '\0');
        std::memcpy(bytes.data(), &count, 4);
        return bytes + rest;
    };
    using namespace std::string_literals;
    struct Case {
        std::string what, bytes;
        Arguments expected;
    };
    const std::vector<Case> cases = {
        {"arguments", area(2, "/usr/bin/node\0\0\0node\0cli.js\0ENV=1\0"s), {"node", "cli.js"}},
        {"fewer strings than counted", area(5, "/usr/bin/node\0\0node\0cli.js"s), {"node", "cli.js"}},
        {"invalid bytes repaired", area(1, "/p\0a\xFF"s), {"a\xEF\xBF\xBD"}},
        {"under five bytes", area(1, ""), {}},
        {"no NUL after the path", area(1, "/usr/bin/node"), {}},
        {"nothing after the padding", area(1, "/usr/bin/node\0\0\0"s), {}},
        {"a negative count", area(-1, "/p\0a\0"s), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseArgumentArea(c.bytes), c.expected) << c.what;
}

// A process table of the test's making.
class FakeKernel final : public ProcessKernel {
public:
    std::map<std::int32_t, ProcessInfo> processes;
    std::vector<std::int32_t> order;
    int extra = 0;  // processes the kernel says exist beyond what fits
    mutable std::vector<std::int32_t> argumentsAsked;

    int processCount() const override { return static_cast<int>(order.size()); }
    int listProcessIds(std::span<std::int32_t> into) const override {
        std::copy_n(order.begin(), std::min(order.size(), into.size()), into.begin());
        return static_cast<int>(order.size()) + extra;
    }
    std::optional<ProcessInfo> info(std::int32_t pid) const override {
        const auto found = processes.find(pid);
        if (found == processes.end()) return std::nullopt;
        return found->second;
    }
    std::optional<CpuTicks> cpuTicks(std::int32_t pid) const override {
        if (pid == 3) return std::nullopt;
        return CpuTicks{static_cast<std::uint64_t>(pid) * 100, 50};
    }
    std::string path(std::int32_t pid) const override { return "/bin/p" + std::to_string(pid); }
    std::optional<std::string> argumentArea(std::int32_t pid) const override {
        using namespace std::string_literals;
        argumentsAsked.push_back(pid);
        return "\x01\0\0\0/bin/node\0\0script.js\0"s;
    }
    Timebase timebase() const override { return {10'000'000, 1}; }  // 10 ms ticks
};

TEST(ReadProcesses, ReadsWhatTheKernelListsAndNoMore) {
    FakeKernel kernel;
    kernel.order = {0, 2, 3, 4, 5, 6};
    kernel.processes = {{2, {"node", 1}}, {3, {"averyveryverylongname", 1}}, {5, {std::string("a\0b", 3), 2}},
                        {6, {"\xFF", 2}}};
    const auto read = readProcesses(kernel);
    ASSERT_EQ(read.size(), 4u);  // pid 0 and the unreadable 4 are skipped
    EXPECT_EQ(read[0], (ProcessSample{2, 1, "node", "/bin/p2", 2.5, {"script.js"}}));
    EXPECT_EQ(read[1], (ProcessSample{3, 1, "averyveryverylon", "/bin/p3", 0, {}}));
    EXPECT_EQ(read[2].name, "a");
    EXPECT_EQ(read[3].name, "\xEF\xBF\xBD");
    EXPECT_EQ(kernel.argumentsAsked, std::vector<std::int32_t>{2});  // interpreters only

    // More processes than room: only those written are read; a failure reads none.
    kernel.extra = 1000;
    EXPECT_EQ(readProcesses(kernel).size(), 4u);
    kernel.extra = -100;
    EXPECT_TRUE(readProcesses(kernel).empty());
}

TEST(ReadProcesses, SeesThisMachinesRealProcessesAndTheirArguments) {
    testing::TempMachine temp;
    const Path program = temp.root() / "sleep";
    std::filesystem::copy_file("/bin/sleep", program);
    auto child = ChildProcess::start(temp.machine(), program.string(), {"30", "0.5"});
    ASSERT_TRUE(child);
    // The kernel fills in a new program's arguments a moment after it starts.
    Arguments arguments;
    for (int i = 0; i < 500 && arguments.empty(); ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        arguments = processArguments(child->pid());
    }
    EXPECT_EQ(arguments, (Arguments{program.string(), "30", "0.5"}));
    EXPECT_TRUE(processArguments(-1).empty());

    const auto table = readProcesses();
    const auto self = std::find_if(table.begin(), table.end(), [](const auto& p) { return p.pid == ::getpid(); });
    ASSERT_NE(self, table.end());
    EXPECT_EQ(self->parent, ::getppid());
    EXPECT_EQ(self->path, std::filesystem::read_symlink("/proc/self/exe").string());
}

}  // namespace
}  // namespace norvane
