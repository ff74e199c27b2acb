#pragma once
// A model for one test: on a temporary machine folder and defaults file, on virtual time,
// in a fixed locale and zone, with a hot-key registry that records what it is asked. The
// probe reaches the model's own state, which no view may set.

#include <memory>
#include <utility>
#include <vector>

#include "app/model/AppModel.h"
#include "platform/VirtualQueue.h"
#include "tests/support/TempMachine.h"

namespace norvane {

struct RecordingHotkeys final : HotkeyRegistry {
    bool accepts = true;
    std::vector<std::pair<std::optional<Hotkey>, HotkeyAction>> asked;
    bool set(const std::optional<Hotkey>& hotkey, HotkeyAction action) override {
        asked.emplace_back(hotkey, action);
        return accepts || !hotkey;
    }
};

struct FixedTint final : TintSource {
    Color wallpaperTint() const override { return {0.9, 0.8, 0.7, 1}; }
};

class ModelProbe {
public:
    explicit ModelProbe(AppModel& model) : m_(model) {}

    void battery(const Battery& b) { m_.assign(m_.battery_, b, ModelField::battery); }
    void charger(std::optional<Charger> c) { m_.assign(m_.charger_, std::move(c), ModelField::charger); }
    void flow(std::optional<PowerFlow> f) { m_.assign(m_.flow_, std::move(f), ModelField::flow); }
    void chargerFlags(std::uint64_t reason) { m_.assign(m_.chargerFlags_, ChargerFlags{reason}, ModelField::chargerFlags); }
    void limit(std::int64_t percent) { m_.assign(m_.limit_, percent, ModelField::limit); }
    void forecast(std::optional<Forecast> f) { m_.assign(m_.forecast_, std::move(f), ModelField::forecast); }
    void drain(std::optional<double> d) { m_.assign(m_.drain_, d, ModelField::drain); }
    void usual(std::optional<double> u) { m_.assign(m_.usual_, u, ModelField::usual); }
    void usingWatts(std::optional<double> w) { m_.assign(m_.usingWatts_, w, ModelField::usingWatts); }
    void draws(std::vector<Draw> d) { m_.assign(m_.draws_, std::move(d), ModelField::draws); }
    void apps(std::vector<AppUsage> a) { m_.assign(m_.apps_, std::move(a), ModelField::apps); }
    void sleeps(std::vector<SleepStretch> s) { m_.assign(m_.sleeps_, std::move(s), ModelField::sleeps); }
    void optimisedOff(bool off) { m_.assign(m_.optimisedOff_, off, ModelField::optimisedOff); }
    void panelOpen(bool open) { m_.assign(m_.panelOpen_, open, ModelField::panelOpen); }
    void backend(std::shared_ptr<LimitBackend> b) { m_.assign(m_.backend_, std::move(b), ModelField::backend); }

    const std::vector<Draw>& draws() const { return m_.draws_; }
    const std::map<std::string, Wording>& wordings() const { return m_.wordings_; }
    TipContext tipContext() const { return m_.tipContext(); }

    void updateTip() { m_.updateTip(); }
    void refreshHealth() { m_.refreshHealth(); }
    void refreshWording() { m_.refreshWording(); }
    void remeasure(const AppUsage& app) { m_.remeasure(app); }
    Task later(double seconds, std::function<void(AppModel&)> work) { return m_.later(seconds, std::move(work)); }
    Task repeating(double seconds, std::function<void(AppModel&)> work) {
        return m_.repeating(seconds, std::move(work));
    }

private:
    AppModel& m_;
};

// Everything a model under test stands on. Tests write the machine's files and the
// defaults file before `start()`.
struct ModelBench {
    testing::TempMachine machine;
    testing::TempFolder home;
    VirtualQueue queue{Date{1'796'724'000}};  // 2026-12-08 10:00:00 UTC
    std::shared_ptr<RecordingHotkeys> hotkeys = std::make_shared<RecordingHotkeys>();
    std::unique_ptr<AppModel> model;

    Path defaultsFile() const { return home / "prefs/app.norvane.Norvane.plist"; }
    Path bundle() const { return home / "Norvane.app"; }

    AppModel& start(std::vector<std::string> arguments = {}) {
        System system = System::onMachine(machine.machine(), std::move(arguments),
                                          std::make_shared<FolderBundle>(bundle()),
                                          std::make_shared<UserDefaults>(defaultsFile()), hotkeys,
                                          std::make_shared<FixedTint>());
        system.formatter = DateFormatter("en_GB", "UTC");
        system.localeText = LocaleText("en_US");
        system.calendar = Calendar("UTC");
        model = std::make_unique<AppModel>(std::move(system), queue);
        return *model;
    }
    ModelProbe probe() { return ModelProbe(*model); }
    // What is stored now, as a fresh launch would read it.
    UserDefaults stored() const { return UserDefaults(defaultsFile()); }
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
