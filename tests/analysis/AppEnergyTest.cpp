#include "app/analysis/AppEnergy.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <cmath>

#include <algorithm>
#include <limits>
#include <map>
#include <string>

#include "platform/ProcessTable.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::fixture;
using testing::TempMachine;

TEST(ParseTop, ReadsOnlyTheLastSampleAndSkipsRowsThatDoNotRead) {
    // The second sample holds a row cut short, a power that is not a number, non-finite
    // figures (one written as an overflowing exponent), a pid that is not a number or does
    // not fit 32 bits, and a command with spaces.
    const std::vector<TopRow> expected{{1417, 27.5}, {2234, 18.9}, {1403, 14.8}, {147, 11.4},
                                       {0, 6.2},     {331, 0.9},   {3050, 0.0}};
    EXPECT_EQ(parseTop(fixture("top/two-samples.txt")), expected);
    // No header or nothing after it gives no rows.
    EXPECT_TRUE(parseTop("").empty());
    EXPECT_TRUE(parseTop("Processes: 3 total\n1 a 2.0\n").empty());
    EXPECT_TRUE(parseTop("PID COMMAND POWER\n1 a 2.0\nPID COMMAND POWER\n\n\n").empty());
    // Empty lines between the header and the rows do not matter.
    EXPECT_EQ(parseTop("PID COMMAND POWER\n\n12 a 2.5\n"), (std::vector<TopRow>{{12, 2.5}}));
}

const std::map<std::int32_t, std::string> paths{
    {1, "/Applications/Foo Bar.app/Contents/Frameworks/Foo Helper.app/Contents/MacOS/Foo Helper"},
    {2, "/Applications/Foo Bar.app/Contents/MacOS/Foo Bar"},
    {3, "/System/Library/CoreServices/Finder.app/Contents/MacOS/Finder"},
    {4, "/usr/sbin/coreaudiod"},
    {6, "/System/Applications/Utilities/Terminal.app/Contents/MacOS/Terminal"},
    {10, "/Users/me/.local/bin/claude"},
};

std::string lookUp(std::int32_t pid) {
    const auto it = paths.find(pid);
    return it == paths.end() ? std::string() : it->second;  // a process that has ended
}

TEST(GroupByApp, SumsPerOutermostBundleWithSystemForTheRestAndGivesShares) {
    // Pid 5 no longer runs: it has no path. Processes at rest are not counted, nor are
    // figures that are not finite.
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<TopRow> rows{
        {4, 0.5}, {1, 5.0}, {3, 1.0}, {6, 3.0}, {5, 0.25}, {10, 4.0}, {2, 2.5}, {2, 0.0}, {6, -1.0}, {1, inf}, {1, nan},
    };
    const std::vector<AppUsage> expected{
        {"/Applications/Foo Bar.app", "Foo Bar", 7.5, 2},
        {"", "System", 5.75, 4},
        {"/System/Applications/Utilities/Terminal.app", "Terminal", 3.0, 1},
    };
    EXPECT_EQ(groupByApp(rows, lookUp), expected);
    EXPECT_TRUE(groupByApp({{2, 0.0}, {6, -3.0}}, lookUp).empty());

    // Finite rows whose sum would overflow: the row that would is dropped, so every sum
    // and share stays finite.
    const double huge = std::numeric_limits<double>::max();
    const auto big = groupByApp({{1, huge}, {2, huge}, {6, 1.0}}, lookUp);
    const std::vector<AppUsage> kept{{"/Applications/Foo Bar.app", "Foo Bar", huge, 1},
                                     {"/System/Applications/Utilities/Terminal.app", "Terminal", 1.0, 1}};
    EXPECT_EQ(big, kept);
    for (const auto& app : big)
        EXPECT_TRUE(std::isfinite(share(app, big)));
    const std::vector<AppUsage> overflowing{{"/Applications/A.app", "A", huge, 1}, {"", "System", huge, 1}};
    EXPECT_EQ(share(overflowing[0], overflowing), 0.0);
    // A share is the part of the total, and zero without one.
    const std::vector<AppUsage> apps{{"/Applications/A.app", "A", 3.0, 1}, {"", "System", 1.0, 2}};
    EXPECT_DOUBLE_EQ(share(apps[0], apps), 0.75);
    EXPECT_DOUBLE_EQ(share(apps[1], apps), 0.25);
    const std::vector<AppUsage> idle{{"/Applications/A.app", "A", 0.0, 1}, {"", "System", 0.0, 1}};
    EXPECT_EQ(share(idle[0], idle), 0.0);
    EXPECT_EQ(share(apps[0], {}), 0.0);
}

class SimulatedTop : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("NORVANE_SIM_FAST", "1", 1); }
    void TearDown() override { ::unsetenv("NORVANE_SIM_FAST"); }

    TempMachine temp;
    SystemProcessRunner runner{temp.machine()};
};

TEST_F(SimulatedTop, ItsProcessesGroupIntoTheirApps) {
    temp.write("top/processes.json", R"json([
      {"pid": 0, "command": "kernel_task", "path": "", "power": 6.0},
      {"pid": 147, "command": "WindowServer",
       "path": "/System/Library/PrivateFrameworks/SkyLight.framework/Resources/WindowServer", "power": 11.5},
      {"pid": 2210, "command": "Electron", "path": "/Applications/Visual Studio Code.app/Contents/MacOS/Electron",
       "power": 5.5},
      {"pid": 2234, "command": "Code Helper (Renderer)",
       "path": "/Applications/Visual Studio Code.app/Contents/Frameworks/Code Helper (Renderer).app/Contents/MacOS/Code Helper (Renderer)",
       "power": 18.5},
      {"pid": 4102, "command": "Terminal", "path": "/System/Applications/Utilities/Terminal.app/Contents/MacOS/Terminal",
       "power": 2.5},
      {"pid": 4190, "command": "claude", "path": "/Users/me/.local/bin/claude", "power": 9.5},
      {"pid": 4118, "command": "zsh", "path": "/bin/zsh", "power": 0.0}
    ])json");
    const std::string text = runTop(runner);

    // The first sample has no interval behind it: every row reads 0.0.
    const auto second = text.find("Processes:", 1);
    ASSERT_NE(second, std::string::npos) << text;
    const auto first = parseTop(std::string_view(text).substr(0, second));
    ASSERT_EQ(first.size(), 7u);
    for (const auto& row : first)
        EXPECT_EQ(row.power, 0.0);
    // Long commands are cut to the column, as a Mac does.
    EXPECT_NE(text.find("\n2234   Code Helper (Ren 18.5\n"), std::string::npos) << text;

    const std::vector<AppUsage> expected{
        {"", "System", 27.0, 3},
        {"/Applications/Visual Studio Code.app", "Visual Studio Code", 24.0, 2},
        {"/System/Applications/Utilities/Terminal.app", "Terminal", 2.5, 1},
    };
    EXPECT_EQ(groupByApp(parseTop(text), machineProcessPaths(temp.machine())), expected);
}

TEST_F(SimulatedTop, TheTemplateMachinesProcessesFormItsApps) {
    const auto list = readFile(Machine::templateFolder() / "top/processes.json");
    ASSERT_TRUE(list);
    temp.write("top/processes.json", *list);
    std::vector<std::string> ids;
    for (const auto& app : groupByApp(parseTop(runTop(runner)), machineProcessPaths(temp.machine())))
        ids.push_back(app.id);
    std::sort(ids.begin(), ids.end());
    const std::vector<std::string> expected{"",
                                            "/Applications/Firefox.app",
                                            "/Applications/Norvane.app",
                                            "/Applications/Slack.app",
                                            "/Applications/Visual Studio Code.app",
                                            "/System/Applications/Utilities/Terminal.app"};
    EXPECT_EQ(ids, expected);
}

TEST_F(SimulatedTop, ListsTheFortyBusiestProcessesOfTheLastSampleFromItsListOrElseThisMachine) {
    std::string json = "[";
    for (int i = 1; i <= 45; ++i)
        json += (i > 1 ? "," : "") + std::string(R"({"pid": )") + std::to_string(i) + R"(, "command": "p", "power": )" +
                std::to_string(i) + "}";
    temp.write("top/processes.json", json + "]");
    const auto rows = parseTop(runTop(runner));
    ASSERT_EQ(rows.size(), 40u);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], (TopRow{45 - static_cast<int>(i), 45.0 - i}));

    std::filesystem::remove(temp.root() / "top/processes.json");
    const auto own = parseTop(runTop(runner));
    ASSERT_FALSE(own.empty());
    EXPECT_LE(own.size(), 40u);
    for (const auto& row : own) {
        EXPECT_GT(row.pid, 0);
        EXPECT_GE(row.power, 0.0);
    }
}

TEST_F(SimulatedTop, AcceptsItsOptionsInAnyOrderAndRefusesOtherUsage) {
    temp.write("top/processes.json", R"([{"pid": 7, "command": "a", "power": 1.0}, {"pid": 8, "command": "b"}])");
    auto out =
        runner.run("/usr/bin/top", {"-n", "1", "-stats", "pid,command,power", "-o", "power", "-s", "3", "-l", "1"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(parseTop(out.output), (std::vector<TopRow>{{7, 0.0}}));

    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {},
             {"-l", "2", "-s", "2", "-o", "cpu", "-stats", "pid,command,power"},
             {"-l", "2", "-o", "power", "-stats", "pid,command"},
             {"-l", "0", "-o", "power", "-stats", "pid,command,power"},
             {"-l", "2", "-o", "power", "-stats", "pid,command,power", "-n"},
             {"-s", "2", "-o", "power", "-stats", "pid,command,power"},
         }) {
        out = runner.run("/usr/bin/top", arguments, ErrorOutput::merge);
        EXPECT_EQ(out.exitCode, 1);
        EXPECT_TRUE(out.output.starts_with("top: ")) << out.output;
    }
}

TEST_F(SimulatedTop, RunTopIsEmptyForAnUnreadableListOrWhenTopCannotStartAndRepairsItsText) {
    temp.write("top/processes.json", R"([{"pid": "seven", "command": "a"}])");
    EXPECT_EQ(runTop(runner), "");
    std::filesystem::remove(temp.root() / "usr/bin/top");
    EXPECT_EQ(runTop(runner), "");

    const Path script = temp.write("usr/bin/top", "#!/bin/sh\nprintf 'PID COMMAND POWER\\n12 caf\\377 1.5\\n'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    EXPECT_EQ(runTop(runner), "PID COMMAND POWER\n12 caf\xEF\xBF\xBD 1.5\n");
}

}  // namespace
}  // namespace norvane
