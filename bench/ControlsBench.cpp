// One pass of the agent watch over this machine's real process table: every process read
// (name, parent, CPU time, path, and arguments of interpreters), then grouped into agent
// trees. Keep-awake in agent mode makes this pass every 5 seconds.

#include <benchmark/benchmark.h>

#include "app/controls/AgentTree.h"

namespace norvane {
namespace {

void BM_ReadProcessesAndAgentTrees(benchmark::State& state) {
    std::size_t processes = 0;
    for (auto _ : state) {
        const auto table = readProcesses();
        processes = table.size();
        benchmark::DoNotOptimize(agentTrees(table));
    }
    state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(BM_ReadProcessesAndAgentTrees)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvane
