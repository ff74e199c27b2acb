#pragma once
// A model for one test: on a temporary machine folder and defaults file, on virtual time,
// in a fixed locale and zone, with a hot-key registry that records what it is asked. The
// probe reaches the model's own state, which no view may set.

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/model/AppModel.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "platform/VirtualQueue.h"
#include "tests/support/TempMachine.h"

namespace norvane {

struct RecordingHotkeys final : HotkeyRegistry {
    bool accepts = true;
    std::vector<std::pair<std::optional<Hotkey>, HotkeyAction>> asked;
    std::vector<bool> suspensions;
    bool set(const std::optional<Hotkey>& hotkey, HotkeyAction action) override {
        asked.emplace_back(hotkey, action);
        return accepts || !hotkey;
    }
    void suspend(bool suspended) override { suspensions.push_back(suspended); }
};

struct FixedTint final : TintSource {
    Known knownTint() const override { return {wallpaperTint(), true}; }
    Color wallpaperTint() const override { return {0.9, 0.8, 0.7, 1}; }
};

// The console of `--log-power`: the lines printed, in order.
struct RecordingLines final : LineSink {
    std::vector<std::string> lines;
    void line(std::string_view text) override { lines.emplace_back(text); }
};

class ModelProbe {
public:
    using Names = std::vector<std::string>;

    explicit ModelProbe(AppModel& model) : m_(model) {}

    void battery(const Battery& b) { m_.assign(m_.battery_, b, ModelField::battery); }
    void charger(std::optional<Charger> c) { m_.assign(m_.charger_, std::move(c), ModelField::charger); }
    void flow(std::optional<PowerFlow> f) { m_.assign(m_.flow_, std::move(f), ModelField::flow); }
    void chargerFlags(std::uint64_t bits) { m_.assign(m_.chargerFlags_, ChargerFlags{bits}, ModelField::chargerFlags); }
    void limit(std::int64_t percent) { m_.assign(m_.limit_, percent, ModelField::limit); }
    void forecast(std::optional<Forecast> f) { m_.assign(m_.forecast_, std::move(f), ModelField::forecast); }
    void drain(std::optional<double> d) { m_.assign(m_.drain_, d, ModelField::drain); }
    void drainEarly(bool early) { m_.assign(m_.drainEarly_, early, ModelField::drainEarly); }
    void systemHealth(std::optional<std::int64_t> h) { m_.assign(m_.systemHealth_, h, ModelField::systemHealth); }
    void system(std::optional<SystemReading> r) { m_.assign(m_.systemReading_, std::move(r), ModelField::system); }
    void usual(std::optional<double> u) { m_.assign(m_.usual_, u, ModelField::usual); }
    void usingWatts(std::optional<double> w) { m_.assign(m_.usingWatts_, w, ModelField::usingWatts); }
    void draws(std::vector<Draw> d) { m_.assign(m_.draws_, std::move(d), ModelField::draws); }
    void apps(std::vector<AppUsage> a) { m_.assign(m_.apps_, std::move(a), ModelField::apps); }
    void sleeps(std::vector<SleepStretch> s) { m_.assign(m_.sleeps_, std::move(s), ModelField::sleeps); }
    void optimisedOff(bool off) { m_.assign(m_.optimisedOff_, off, ModelField::optimisedOff); }
    void panelOpen(bool open) { m_.assign(m_.panelOpen_, open, ModelField::panelOpen); }
    void backend(std::shared_ptr<LimitBackend> b) { m_.assign(m_.backend_, std::move(b), ModelField::backend); }
    void lowPower(bool on) { m_.assign(m_.lowPower_, on, ModelField::lowPower); }
    void quitting(std::set<std::string> ids) { m_.assign(m_.quitting_, std::move(ids), ModelField::quitting); }
    void quitEffect(std::optional<QuitEffect> e) { m_.assign(m_.quitEffect_, std::move(e), ModelField::quitEffect); }
    void tip(std::optional<Tip> t) { m_.assign(m_.tip_, std::move(t), ModelField::tip); }
    void awake(std::optional<AwakeSession> s) { m_.assign(m_.awake_, std::move(s), ModelField::awake); }
    void awakeState(AwakeStatus s) { m_.assign(m_.awakeState_, std::move(s), ModelField::awakeState); }
    void agentsWorking(Names a) { m_.assign(m_.agentsWorking_, std::move(a), ModelField::agentsWorking); }
    void agentsRunning(Names a) { m_.assign(m_.agentsRunning_, std::move(a), ModelField::agentsRunning); }
    void agentsInstalled(Names a) { m_.assign(m_.agentsInstalled_, std::move(a), ModelField::agentsInstalled); }
    void holders(std::vector<AwakeHolder> h) { m_.assign(m_.holders_, std::move(h), ModelField::holders); }
    void samples(std::vector<Sample> s) {
        m_.history_.samples = std::move(s);
        m_.observers_.changed(ModelField::history);
    }
    void health(HealthTrend h) { m_.assign(m_.health_, std::move(h), ModelField::health); }
    void lastSample(Date d) { m_.assign(m_.lastSample_, d, ModelField::lastSample); }
    void ledgerSaved(Date d) { m_.assign(m_.ledgerSaved_, d, ModelField::ledgerSaved); }
    void sleepsRead(Date d) { m_.assign(m_.sleepsRead_, d, ModelField::sleepsRead); }
    void stuck(std::optional<AppUsage> a) { m_.assign(m_.stuck_, std::move(a), ModelField::stuck); }
    void ledgerURL(Path p) { m_.assign(m_.ledgerURL_, std::optional(std::move(p)), ModelField::ledgerURL); }
    void lowPowerBusy(bool busy) { m_.assign(m_.lowPowerBusy_, busy, ModelField::lowPowerBusy); }
    void update(std::optional<AvailableUpdate> u) { m_.assign(m_.update_, std::move(u), ModelField::update); }
    void limitAvailability(LimitAvailability a) {
        m_.assign(m_.limitAvailability_, std::move(a), ModelField::limitAvailability);
    }
    void limitBusy(bool busy) { m_.assign(m_.limitBusy_, busy, ModelField::limitBusy); }
    void limitNote(std::optional<std::string> n) { m_.assign(m_.limitNote_, std::move(n), ModelField::limitNote); }
    void powerMode(std::int64_t mode) { m_.assign(m_.powerMode_, mode, ModelField::powerMode); }
    void highPowerAvailable(bool on) { m_.assign(m_.highPowerAvailable_, on, ModelField::highPowerAvailable); }
    void helperState(HelperState s) { m_.assign(m_.helperState_, std::move(s), ModelField::helperState); }
    void workingIn(std::optional<std::string> path) {
        m_.assign(m_.workingIn_, std::move(path), ModelField::workingIn);
    }
    void updateStage(UpdateStage s) { m_.assign(m_.updateStage_, std::move(s), ModelField::updateStage); }
    void updateBusy(bool busy) { m_.assign(m_.updateBusy_, busy, ModelField::updateBusy); }
    void updateNote(std::optional<std::string> n) { m_.assign(m_.updateNote_, std::move(n), ModelField::updateNote); }
    void aiAvailable(bool on) { m_.assign(m_.aiAvailable_, on, ModelField::aiAvailable); }
    void tint(Color c) { m_.assign(m_.tint_, c, ModelField::tint); }
    void chip(std::string name) { m_.chip_ = std::move(name); }  // read once, never observed

    const std::vector<Draw>& draws() const { return m_.draws_; }
    const std::map<std::string, Wording>& wordings() const { return m_.wordings_; }
    TipContext tipContext() const { return m_.tipContext(); }
    const AwakeHold& awakeHold() const { return m_.awakeHold_; }
    Date sleepsRead() const { return m_.sleepsRead_; }
    const std::function<void()>& afterSetup() const { return m_.afterSetup_; }
    const DrainWatch& drainWatch() const { return m_.drainWatch_; }

    void updateTip() { m_.updateTip(); }
    void refreshHealth() { m_.refreshHealth(); }
    void refreshWording() { m_.refreshWording(); }
    void updateAwake(Date now) { m_.updateAwake(now); }
    void hold(bool on) { m_.hold(on); }
    void observeWorkspace() { m_.observeWorkspace(); }
    void startSampling() { m_.startSampling(); }
    void record(const std::vector<AppUsage>& apps) { m_.record(apps); }
    void logPower(Date now) { m_.logPower(now); }
    void checkForUpdatesIfDue(Date now) { m_.checkForUpdatesIfDue(now); }
    Task later(double seconds, std::function<void(AppModel&)> work) { return m_.later(seconds, std::move(work)); }
    Task repeating(double seconds, std::function<void(AppModel&)> work) {
        return m_.repeating(seconds, std::move(work));
    }

private:
    AppModel& m_;
};

// A process table of the test's making: pid → short name, parent and CPU seconds.
struct FakeProcesses final : ProcessKernel {
    struct Process {
        std::string name;
        std::int32_t parent = 1;
        double cpu = 0;
    };
    std::map<std::int32_t, Process> table;
    mutable int listed = 0;  // looks at the table

    int processCount() const override { return static_cast<int>(table.size()); }
    int listProcessIds(std::span<std::int32_t> into) const override {
        ++listed;
        std::size_t i = 0;
        for (auto it = table.begin(); it != table.end() && i < into.size(); ++it)
            into[i++] = it->first;
        return static_cast<int>(table.size());
    }
    std::optional<ProcessInfo> info(std::int32_t pid) const override {
        const auto found = table.find(pid);
        if (found == table.end()) return std::nullopt;
        return ProcessInfo{found->second.name, found->second.parent};
    }
    std::optional<CpuTicks> cpuTicks(std::int32_t pid) const override {
        const auto found = table.find(pid);
        if (found == table.end()) return std::nullopt;
        return CpuTicks{static_cast<std::uint64_t>(found->second.cpu * 1000), 0};
    }
    std::string path(std::int32_t) const override { return {}; }
    std::optional<std::string> argumentArea(std::int32_t) const override { return std::nullopt; }
    Timebase timebase() const override { return {1'000'000, 1}; }  // millisecond ticks
};

// Everything a model under test stands on. Tests write the machine's files and the
// defaults file before `start()`.
struct ModelBench {
    testing::TempMachine machine;
    testing::TempFolder home;
    VirtualQueue queue{Date{1'796'724'000}};  // 2026-12-08 10:00:00 UTC
    std::shared_ptr<RecordingHotkeys> hotkeys = std::make_shared<RecordingHotkeys>();
    std::shared_ptr<RecordingLines> console = std::make_shared<RecordingLines>();
    std::shared_ptr<WorkspaceEvents> events;  // the model's, once started
    int terminated = 0;                       // how often the application was asked to end
    std::unique_ptr<AppModel> model;

    // The simulated `top` answers at once instead of waiting between its samples.
    ModelBench() { ::setenv("NORVANE_SIM_FAST", "1", 1); }

    Path defaultsFile() const { return home / "prefs/app.norvane.Norvane.plist"; }
    Path bundle() const { return home / "Norvane.app"; }
    Path support() const { return home / "support/Norvane"; }  // the state files
    // The bundle's Info.plist: an identifier (so that notifications go out), the executable
    // at Contents/MacOS/Norvane and, when given, the build (so that the daily update check runs).
    void writeInfoPlist(const std::string& build = "") const {
        home.write("Norvane.app/Contents/Info.plist",
                   "<plist><dict><key>CFBundleIdentifier</key><string>app.norvane.Norvane</string>"
                   "<key>CFBundleExecutable</key><string>Norvane</string>" +
                       (build.empty() ? "" : "<key>CFBundleVersion</key><string>" + build + "</string>") +
                       "</dict></plist>");
    }

    // The system a model of the bench runs on: the machine, the bench's own folders and
    // defaults, a fixed locale and zone, and recording fakes.
    System system(std::vector<std::string> arguments = {}) {
        System system =
            System::onMachine(machine.machine(), std::move(arguments), std::make_shared<FolderBundle>(bundle()),
                              std::make_shared<UserDefaults>(defaultsFile()), hotkeys, std::make_shared<FixedTint>());
        system.formatter = DateFormatter("en_GB", "UTC");
        system.localeText = LocaleText("en_US");
        system.calendar = Calendar("UTC");
        system.blockingWait = [](std::uint32_t) {};  // background jobs do not block
        system.console = console;
        system.applicationSupport = home / "support";
        system.caches = home / "caches";
        system.terminate = [this] { ++terminated; };
        events = system.workspaceEvents;
        queue.announceSleepTo(events);
        return system;
    }

    // `adjust` puts fakes in place of parts of the system.
    AppModel& start(std::vector<std::string> arguments = {}, const std::function<void(System&)>& adjust = {}) {
        System system = this->system(std::move(arguments));
        if (adjust) adjust(system);
        events = system.workspaceEvents;
        queue.announceSleepTo(events);
        model = std::make_unique<AppModel>(std::move(system), queue);
        return *model;
    }
    ModelProbe probe() { return ModelProbe(*model); }
    // The battery as the registry will give it to the next tick.
    void writeBattery(const Battery& b) const {
        Value::Dictionary entry{{"CurrentCapacity", Value::integer(b.percent)},
                                {"IsCharging", Value::boolean(b.charging)},
                                {"ExternalConnected", Value::boolean(b.plugged)},
                                {"Amperage", Value::integer(b.milliamps)},
                                {"Voltage", Value::integer(b.millivolts)},
                                {"AppleRawMaxCapacity", Value::integer(b.rawMax)},
                                {"NominalChargeCapacity", Value::integer(b.nominal)},
                                {"DesignCapacity", Value::integer(b.design)},
                                {"CycleCount", Value::integer(b.cycles)}};
        if (b.systemMinutes) entry.emplace("AvgTimeToEmpty", Value::integer(*b.systemMinutes));
        machine.write("ioreg/AppleSmartBattery.plist", writePropertyList(Value::array({Value::dictionary(entry)})));
    }
    // Runs what is posted, then moves time on.
    void run(double seconds) {
        queue.drain();
        queue.advance(seconds);
        queue.drain();
    }
    // What is stored now, as a fresh launch would read it.
    UserDefaults stored() const { return UserDefaults(defaultsFile()); }
    // The lines of a JSON-lines file of the machine (notifications, opened URLs).
    std::vector<Value> records(std::string_view file) const {
        std::vector<Value> out;
        const std::string text = readFile(machine.root() / Path(file)).value_or("");
        for (const auto line : splitNonEmpty(text, '\n'))
            if (auto value = parseJson(line)) out.push_back(std::move(*value));
        return out;
    }
    // One text of each line of such a file.
    std::vector<std::string> texts(std::string_view file, std::string_view key) const {
        std::vector<std::string> out;
        for (const auto& record : records(file))
            out.push_back(*record.find(key)->asString());
        return out;
    }
};

inline Battery onBattery(std::int64_t percent) {
    Battery b;
    b.percent = percent;
    b.milliamps = -1200;
    b.millivolts = 12'000;
    b.rawMax = 5000, b.nominal = 5000, b.design = 5500;
    return b;
}

inline Battery plugged(std::int64_t percent, bool charging, std::int64_t milliamps = 0) {
    Battery b = onBattery(percent);
    b.plugged = true;
    b.charging = charging;
    b.milliamps = milliamps;
    return b;
}

}  // namespace norvane
