// One pass of the agent watch over this machine's real process table: every process read
// (name, parent, CPU time, path, and arguments of interpreters), then grouped into agent
// trees. Keep-awake in agent mode makes this pass every 5 seconds. The table is brought up
// to 200 processes, as many as a Mac runs at the least.

#include <benchmark/benchmark.h>

#include "app/controls/AgentTree.h"
#include "bench/Processes.h"

namespace norvane {
namespace {

void BM_ReadProcessesAndAgentTrees(benchmark::State& state) {
    const bench::ProcessTable table(200);
    std::size_t processes = 0;
    for (auto _ : state) {
        const auto read = readProcesses();
        processes = read.size();
        benchmark::DoNotOptimize(agentTrees(read));
    }
    state.counters["processes"] = static_cast<double>(processes);
    state.counters["in_proc"] = bench::ProcessTable::count();
}
BENCHMARK(BM_ReadProcessesAndAgentTrees)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvane
