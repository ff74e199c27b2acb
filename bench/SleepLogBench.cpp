// Parsing the power-management log: weeks of sleeps, dark wakes and the log's other
// records, 50,000 lines in all.

#include <benchmark/benchmark.h>

#include <string>

#include "app/readings/SleepLog.h"
#include "bench/PowerLog.h"

using namespace norvane;

namespace {

constexpr int lineCount = 50'000;

void BM_ParseFiftyThousandLineSleepLog(benchmark::State& state) {
    const std::string text = bench::powerLog(lineCount);
    for (auto _ : state) {
        auto stretches = parseSleepLog(text);
        benchmark::DoNotOptimize(stretches.data());
        if (stretches.size() < 1000) state.SkipWithError("too few stretches");
    }
    state.SetItemsProcessed(state.iterations() * lineCount);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseFiftyThousandLineSleepLog)->Unit(benchmark::kMillisecond);

}  // namespace
