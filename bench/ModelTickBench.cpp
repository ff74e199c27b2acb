// The model's heartbeat on a simulated Mac made from the template: one 5-second tick (the
// battery, the SMC's live draw, Low Power, the charger state and the rules), read through
// the machine folder and with the readings held in memory (the model's own share), and a
// whole day of ticks and sampler passes on virtual time, with the growth of resident memory
// over that day. Then what a real Mac's scale costs the main thread: reading a power log of
// 50,000 and 500,000 lines after a wake, the sampler's pass with a ledger of 200 apps over
// 30 days, and opening the Now page among 200 processes.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/model/AppModel.h"
#include "bench/PowerLog.h"
#include "bench/Processes.h"
#include "platform/VirtualQueue.h"

using namespace norvane;

namespace {

struct NoHotkeys final : HotkeyRegistry {
    bool set(const std::optional<Hotkey>&, HotkeyAction) override { return true; }
};
struct NoTint final : TintSource {
    Known knownTint() const override { return {wallpaperTint(), true}; }
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
    std::unique_ptr<AppModel> model(MainQueue& queue, VirtualQueue& virtualQueue, bool fixed = false) const {
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
        virtualQueue.announceSleepTo(system.workspaceEvents);
        return std::make_unique<AppModel>(std::move(system), queue);
    }
    std::unique_ptr<AppModel> model(VirtualQueue& queue, bool fixed = false) const { return model(queue, queue, fixed); }
};

double residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024;
}

// The peak of resident memory since the last `resetPeak`, in kilobytes.
double peakKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return std::stod(line.substr(6));
    return 0;
}
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double threadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The virtual queue, with the CPU time of what background jobs hand back to the main queue
// (their results applied to the model) kept apart from the jobs' own.
struct TimedQueue final : MainQueue {
    VirtualQueue& inner;
    std::function<void(double)> onMain = [](double) {};  // each result's time on the main queue
    double offMain = 0;                                   // the jobs' time
    explicit TimedQueue(VirtualQueue& queue) : inner(queue) {}

    void post(std::function<void()> work) override { inner.post(std::move(work)); }
    Task after(double seconds, std::function<void()> work, ClockKind clock) override {
        return inner.after(seconds, std::move(work), clock);
    }
    Task every(double seconds, std::function<void()> work, ClockKind clock) override {
        return inner.every(seconds, std::move(work), clock);
    }
    void background(Priority priority, std::function<std::function<void()>()> job) override {
        inner.background(priority, [this, job = std::move(job)]() -> std::function<void()> {
            const double start = threadSeconds();
            auto back = job();
            offMain += threadSeconds() - start;
            if (!back) return back;
            return [this, back = std::move(back)] {
                const double begun = threadSeconds();
                back();
                onMain(threadSeconds() - begun);
            };
        });
    }
    Date now() const override { return inner.now(); }
    double continuous() const override { return inner.continuous(); }
    double uptime() const override { return inner.uptime(); }
};

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

// A wake re-reads the power log 8 s later; the log alternates between two of the same length
// (the second a night longer), so every read brings new stretches. Timed: the main queue's
// share (the read's result applied); counters: the job's own time and the peak of resident
// memory above what was resident before.
void BM_ReadLongPowerLogAfterAWake(benchmark::State& state) {
    ::setenv("NORVANE_SIM_FAST", "1", 1);
    const int lines = static_cast<int>(state.range(0));
    Scratch scratch;
    const Path folder = scratch.folder / "machine/pmset";
    {
        const std::string log = bench::powerLog(lines);
        std::ofstream(folder / "log-a.txt") << log;
        std::ofstream(folder / "log-b.txt") << log << bench::powerLog(40).substr(log.find("UUID"));
    }
    VirtualQueue virtualQueue;
    TimedQueue queue(virtualQueue);
    const auto model = scratch.model(queue, virtualQueue);
    model->start();
    virtualQueue.advance(60);
    bool read = false;
    const auto subscription = model->subscribe({ModelField::sleeps}, [&] { read = true; });
    double onMain = 0, offMain = 0, peak = 0;
    int reads = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const Path log = folder / "log.txt", next = folder / "next.txt";
        std::filesystem::remove(next);
        std::filesystem::create_hard_link(folder / (reads % 2 ? "log-b.txt" : "log-a.txt"), next);
        std::filesystem::rename(next, log);
        virtualQueue.sleepSystem(3600);
        // What earlier reads freed goes back, so that it cannot hide this read's peak.
        ::malloc_trim(0);
        const double resident = residentKilobytes();
        resetPeak();
        queue.offMain = 0;
        double applied = 0;
        queue.onMain = [&](double seconds) {
            if (read) applied += seconds;
            read = false;
        };
        read = false;
        state.ResumeTiming();
        virtualQueue.advance(9);
        state.SetIterationTime(applied);
        onMain += applied;
        offMain += queue.offMain;
        peak = std::max(peak, peakKilobytes() - resident);
        ++reads;
    }
    state.counters["main_ms"] = 1000 * onMain / reads;
    state.counters["jobs_ms"] = 1000 * offMain / reads;
    state.counters["peak_above_MB"] = peak / 1024;
    state.counters["stretches"] = static_cast<double>(model->sleeps().size());
}
BENCHMARK(BM_ReadLongPowerLogAfterAWake)
    ->Arg(50'000)
    ->Arg(500'000)
    ->ArgName("lines")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6);

// The sampler's pass with the panel closed, once a minute: `top` lists 40 apps; the ledger
// holds 200 apps on each of 30 days. Timed: the main queue's share (the apps, attention
// and ledger updated, the save handed on); counter: the jobs' own time (`top` and the save).
void BM_SamplerPassWithTwoHundredApps(benchmark::State& state) {
    ::setenv("NORVANE_SIM_FAST", "1", 1);
    Scratch scratch;
    VirtualQueue virtualQueue;
    {
        std::string processes = "[";
        for (int i = 0; i < 40; ++i) {
            const std::string name = "App " + std::to_string(i);
            processes += (i ? "," : "") + std::string(R"({"pid": )") + std::to_string(1000 + i) +
                         R"(, "command": ")" + name + R"(", "path": "/Applications/)" + name + ".app/Contents/MacOS/" +
                         name + R"(", "power": )" + std::to_string(1 + i) + "}";
        }
        std::ofstream(scratch.folder / "machine/top/processes.json") << processes << "]";
        AppLedger ledger;
        const Calendar calendar = Calendar::current();
        for (int day = 0; day < 30; ++day) {
            auto& apps = ledger.days[AppLedger::day(virtualQueue.now() - 86'400.0 * day, calendar)];
            for (int i = 0; i < 200; ++i) apps["/Applications/App " + std::to_string(i) + ".app"] = 1000.0 * i;
        }
        ledger.save(scratch.folder / "support/Norvane/apps.json");
    }
    TimedQueue queue(virtualQueue);
    const auto model = scratch.model(queue, virtualQueue);
    model->start();
    virtualQueue.advance(120);
    double onMain = 0;
    queue.onMain = [&](double seconds) { onMain += seconds; };
    double jobs = 0;
    int passes = 0;
    for (auto _ : state) {
        onMain = 0;
        queue.offMain = 0;
        virtualQueue.advance(60);
        state.SetIterationTime(onMain);
        jobs += queue.offMain;
        ++passes;
    }
    state.counters["jobs_ms"] = 1000 * jobs / passes;
    state.counters["ledger_apps"] = static_cast<double>(model->ledger().days.rbegin()->second.size());
}
BENCHMARK(BM_SamplerPassWithTwoHundredApps)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

// Opening the Now page among 200 processes: the model's opening of the panel, then the
// keep-awake card's show, which both ask for the agents that run. Timed: that main-queue
// turn's CPU time, which other work on the machine disturbs less than its wall time.
void BM_OpenNowAmongTwoHundredProcesses(benchmark::State& state) {
    ::setenv("NORVANE_SIM_FAST", "1", 1);
    const bench::ProcessTable table(200);
    Scratch scratch;
    VirtualQueue queue;
    const auto model = scratch.model(queue);
    model->start();
    queue.advance(120);
    for (auto _ : state) {
        const double start = threadSeconds();
        model->setPanelOpen(true);
        model->refreshAgents();
        state.SetIterationTime(threadSeconds() - start);
        queue.advance(1);
        model->setPanelOpen(false);
        queue.advance(1);
    }
    state.counters["in_proc"] = bench::ProcessTable::count();
}
BENCHMARK(BM_OpenNowAmongTwoHundredProcesses)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace
