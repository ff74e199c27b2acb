// The model's heartbeat on a simulated Mac made from the template: one 5-second tick (the
// battery, the SMC's live draw, Low Power, the charger state and the rules), read through
// the machine folder and with the readings held in memory (the model's own share), and a
// whole day of ticks and sampler passes on virtual time, with the growth of resident memory
// over that day.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/model/AppModel.h"
#include "platform/VirtualQueue.h"

using namespace norvane;

namespace {

struct NoHotkeys final : HotkeyRegistry {
    bool set(const std::optional<Hotkey>&, HotkeyAction) override { return true; }
};
struct NoTint final : TintSource {
    Color wallpaperTint() const override { return {}; }
};

// The battery entry as the machine folder held it at the start, without reading it again.
struct SnapshotRegistry final : Registry {
    std::shared_ptr<const Value::Dictionary> battery;
    explicit SnapshotRegistry(const Registry& from) {
        if (const auto service = from.firstService("AppleSmartBattery")) battery = from.properties(*service);
    }
    std::vector<RegistryService> services(std::string_view className) const override {
        if (className == "AppleSmartBattery" && battery) return {{"AppleSmartBattery", 0}};
        return {};
    }
    std::shared_ptr<const Value::Dictionary> properties(const RegistryService&) const override { return battery; }
};
struct FixedState final : SystemState {
    std::optional<OSVersion> operatingSystemVersion() const override { return OSVersion{26, 4, 0}; }
    bool lowPowerModeEnabled() const override { return false; }
    bool batteryLowPowerMode() const override { return false; }
    ThermalState thermalState() const override { return ThermalState::nominal; }
};
struct NoAdapter final : PowerSources {
    std::optional<Value> externalAdapterDetails() const override { return std::nullopt; }
    std::string providingSource() const override { return "Battery Power"; }
};

// A fresh machine from the template, the user's folders and defaults beside it.
struct Scratch {
    Path folder;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvane-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder = pattern;
        Machine::createFromTemplate(folder / "machine");
    }
    ~Scratch() {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    // `fixed`: the readings of the battery, Low Power and the adapter held in memory, the SMC
    // and the other holders of sleep assertions absent, so that only the model's own work counts.
    std::unique_ptr<AppModel> model(VirtualQueue& queue, bool fixed = false) const {
        const Machine machine(folder / (fixed ? "empty" : "machine"));
        System system = System::onMachine(machine, {}, std::make_shared<FolderBundle>(folder / "Norvane.app"),
                                          std::make_shared<UserDefaults>(folder / "defaults.plist"),
                                          std::make_shared<NoHotkeys>(), std::make_shared<NoTint>());
        system.applicationSupport = folder / "support";
        system.caches = folder / "caches";
        if (fixed) {
            system.registry = std::make_shared<SnapshotRegistry>(MachineRegistry(Machine(folder / "machine")));
            system.state = std::make_shared<FixedState>();
            system.powerSources = std::make_shared<NoAdapter>();
        }
        queue.announceSleepTo(system.workspaceEvents);
        return std::make_unique<AppModel>(std::move(system), queue);
    }
};

double residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024;
}

void tick(benchmark::State& state, bool fixed) {
    Scratch scratch;
    VirtualQueue queue;
    const auto model = scratch.model(queue, fixed);
    // A machine folder just made is still settling: its readers compare the bytes of a file
    // written within the last two seconds. The application's folder has long been still.
    if (!fixed) std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    for (auto _ : state) {
        model->tick();
        queue.setWall(queue.now() + 5);  // the ring drops old draws as it does every 5 s
    }
}
void BM_TickOnTheMachineFolder(benchmark::State& state) {
    tick(state, false);
}
void BM_TickOnFixedReadings(benchmark::State& state) {
    tick(state, true);
}
BENCHMARK(BM_TickOnTheMachineFolder)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK(BM_TickOnFixedReadings)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_DayOfTicksAndSamplerPasses(benchmark::State& state) {
    ::setenv("NORVANE_SIM_FAST", "1", 1);  // `top` answers at once; its two seconds are virtual
    Scratch scratch;
    VirtualQueue queue;
    const auto model = scratch.model(queue);
    model->start();
    queue.advance(3600);  // settled: the ring full, the ledger and history files written
    const double before = residentKilobytes();
    for (auto _ : state)
        queue.advance(86'400);
    state.counters["rss_growth_kB"] = residentKilobytes() - before;
    state.counters["history_samples"] = static_cast<double>(model->history().samples.size());
}
BENCHMARK(BM_DayOfTicksAndSamplerPasses)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
