// Loading thirty days of history (one sample a minute) at start-up, the battery reading
// and the SMC's live power that every 5-second tick takes through the machine folder, and
// one reading of the system figures that the Stats page refreshes every 3 seconds.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "app/readings/Battery.h"
#include "app/readings/HistoryStore.h"
#include "app/readings/SMC.h"
#include "app/readings/SystemSensors.h"
#include "platform/VirtualQueue.h"

using namespace norvane;

namespace {

struct Scratch {
    Path folder;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvane-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder = pattern;
    }
    ~Scratch() {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
};

const Date now{1'780'000'000};

void BM_LoadThirtyDaysOfHistory(benchmark::State& state) {
    Scratch scratch;
    const Path url = scratch.folder / "history.csv";
    std::string text;
    for (int i = 43'200; i > 0; --i)
        text += HistoryStore::line({now - i * 60.0, 20 + i % 80, i % 7 == 0, i % 5 == 0});
    writeFileAtomically(url, text);
    for (auto _ : state) {
        HistoryStore store(url, now);
        benchmark::DoNotOptimize(store.samples.data());
        if (store.samples.size() != 43'200) state.SkipWithError("wrong sample count");
    }
    state.SetItemsProcessed(state.iterations() * 43'200);
}
BENCHMARK(BM_LoadThirtyDaysOfHistory)->Unit(benchmark::kMillisecond);

void BM_ReadBatteryThroughTheMachineFolder(benchmark::State& state) {
    const MachineRegistry registry{Machine(Machine::templateFolder())};
    for (auto _ : state) {
        auto battery = Battery::read(registry);
        benchmark::DoNotOptimize(battery);
        if (!battery) state.SkipWithError("no battery in the template machine");
    }
}
BENCHMARK(BM_ReadBatteryThroughTheMachineFolder)->Unit(benchmark::kMicrosecond);

void BM_ReadLivePowerThroughTheMachineFolder(benchmark::State& state) {
    const auto meter = SMC::open(MachineKernelServices(Machine(Machine::templateFolder())));
    for (auto _ : state) {
        auto live = readLivePower(meter);
        benchmark::DoNotOptimize(live);
        if (!live.batteryMilliamps) state.SkipWithError("no live power in the template machine");
    }
}
BENCHMARK(BM_ReadLivePowerThroughTheMachineFolder)->Unit(benchmark::kMicrosecond);

// The template Mac's controller and accelerator, and this machine's own /proc and disks.
void BM_ReadSystemSensors(benchmark::State& state) {
    const Machine machine(Machine::templateFolder());
    const MachineKernelServices kernel(machine);
    const MachineSystemControl controls(machine);
    const MachineHostStatistics host(machine);
    const MachineRegistry registry(machine);
    VirtualQueue clock;
    SystemSensors sensors(kernel, controls, host, registry, clock);
    for (auto _ : state) {
        clock.advance(3);
        auto reading = sensors.read();
        benchmark::DoNotOptimize(reading);
        if (!reading.cpuTemperature || !reading.memoryUsed) state.SkipWithError("figures missing");
    }
}
BENCHMARK(BM_ReadSystemSensors)->Unit(benchmark::kMicrosecond);

}  // namespace
