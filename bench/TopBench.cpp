// What each sampler pass does with `top`'s output: parse two samples of 40 rows and group
// the last one by app.

#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>

#include "app/analysis/AppEnergy.h"

using namespace norvane;

namespace {

constexpr int rowCount = 40;

const char* const executables[] = {
    "/Applications/Firefox.app/Contents/MacOS/plugin-container.app/Contents/MacOS/plugin-container",
    "/Applications/Visual Studio Code.app/Contents/Frameworks/Code Helper (Renderer).app/Contents/MacOS/Code Helper "
    "(Renderer)",
    "/Applications/Slack.app/Contents/Frameworks/Slack Helper (Renderer).app/Contents/MacOS/Slack Helper (Renderer)",
    "/System/Applications/Utilities/Terminal.app/Contents/MacOS/Terminal",
    "/System/Library/PrivateFrameworks/SkyLight.framework/Resources/WindowServer",
    "/System/Library/CoreServices/Finder.app/Contents/MacOS/Finder",
    "/Users/me/.local/bin/claude",
    "",
};
const char* const commands[] = {"plugin-container", "Code Helper (Ren", "Slack Helper (Re", "Terminal",
                                "WindowServer",     "Finder",           "claude",           "kernel_task"};

std::string sample(bool first) {
    std::string text =
        "Processes: 512 total, 3 running, 509 sleeping, 2674 threads\n"
        "2026/12/08 21:04:11\n"
        "Load Avg: 2.31, 2.04, 1.98\n"
        "CPU usage: 7.69% user, 8.46% sys, 83.84% idle\n"
        "SharedLibs: 612M resident, 112M data, 78M linkedit.\n"
        "MemRegions: 253421 total, 6104M resident, 312M private, 2406M shared.\n"
        "PhysMem: 15G used (2291M wired, 1203M compressor), 861M unused.\n"
        "VM: 264T vsize, 4915M framework vsize, 0(0) swapins, 0(0) swapouts.\n"
        "Networks: packets: 12004399/13G in, 6223445/2874M out.\n"
        "Disks: 5830341/98G read, 3260455/74G written.\n"
        "\n"
        "PID    COMMAND          POWER\n";
    for (int i = 0; i < rowCount; ++i) {
        std::string pid = std::to_string(1000 + i);
        pid.append(7 - pid.size(), ' ');
        std::string command = commands[i % 8];
        command.append(17 - command.size(), ' ');
        text += pid + command + (first ? std::string("0.0") : std::to_string((rowCount - i) * 0.7).substr(0, 4)) + "\n";
    }
    return text;
}

void BM_ParseAndGroupTop(benchmark::State& state) {
    const std::string output = sample(true) + sample(false);
    std::unordered_map<std::int32_t, std::string> paths;
    for (int i = 0; i < rowCount; ++i)
        paths[1000 + i] = executables[i % 8];
    const auto path = [&](std::int32_t pid) {
        const auto it = paths.find(pid);
        return it == paths.end() ? std::string() : it->second;
    };
    for (auto _ : state) {
        auto apps = groupByApp(parseTop(output), path);
        benchmark::DoNotOptimize(apps.data());
        if (apps.size() != 5) state.SkipWithError("wrong number of apps");
    }
    state.SetItemsProcessed(state.iterations() * rowCount);
}
BENCHMARK(BM_ParseAndGroupTop);

}  // namespace
