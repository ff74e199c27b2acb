// Setting the model running: the state files, the first tick and the 5-second timer, the
// workspace's announcements, today's capacity point, the first refreshes, the sampler and
// keep-awake left running at the last end.

#include <cmath>

#include "app/analysis/LoginItem.h"
#include "app/analysis/Notifier.h"
#include "app/model/AppModel.h"
#include "app/model/DefaultsKeys.h"
#include "platform/CommandLine.h"
#include "platform/SystemLog.h"

namespace norvane {
namespace {

constexpr double tickInterval = 5.0;

}  // namespace

std::vector<Sample> AppModel::demoHistory(Date now) {
    std::vector<Sample> samples;
    samples.reserve(2017);
    double level = 60.0;
    bool charging = false;
    for (int minutes = 10'080; minutes >= 0; minutes -= 5) {
        double step = charging ? 3.5 : -0.9;
        if (level <= 25.0) {
            charging = true;
            step = 3.5;
        } else if (level >= 80.0) {
            charging = false;
            step = -0.9;
        }
        level += step;
        samples.push_back({now - minutes * 60.0, static_cast<std::int64_t>(std::trunc(level)), charging, false});
    }
    return samples;
}

void AppModel::start() {
    const Date now = this->now();
    if (demo_) {
        HistoryStore demo;
        demo.samples = demoHistory(now);
        assign(history_, std::move(demo), ModelField::history);
    } else if (system_->applicationSupport) {
        // The folder is made by the first save, not here.
        const Path folder = *system_->applicationSupport / "Norvane";
        const FileLog log = [&machine = system_->machine](std::string_view line) { systemLog(machine, line); };
        assign(history_, HistoryStore(folder / "history.csv", now, log), ModelField::history);
        // A file that does not decode is moved aside, so the next save cannot overwrite it.
        assign(ledgerURL_, std::optional(folder / "apps.json"), ModelField::ledgerURL);
        if (auto ledger = AppLedger::load(*ledgerURL_, log); !(ledger == *ledger_)) {
            ledger_ = std::make_shared<AppLedger>(std::move(ledger));
            observers_.changed(ModelField::ledger);
        }
        assign(healthURL_, std::optional(folder / "health.json"), ModelField::healthURL);
        assign(health_, HealthTrend::load(*healthURL_, log), ModelField::health);
    }
    if (!demo_) {
        const MainBundle& bundle = *system_->bundle;
        if (bundle.identifier()) system_->notifications->setDelegate(&Notifier::banners());
        // Open at login is switched on once, on the first run from an application bundle; a
        // user who turns it off later is not overruled.
        if (bundle.isApplication() && !defaults().boolean(keys::loginItemSet)) {
            defaults().set(keys::loginItemSet, Value::boolean(true));
            LoginItem::set(bundle, *system_->services, true);
            assign(openAtLogin_, LoginItem::enabled(bundle, *system_->services), ModelField::openAtLogin);
        }
    }

    tick();
    repeating(tickInterval, [](AppModel& model) { model.tick(); });
    observeWorkspace();
    soon([](AppModel& model) { model.refreshSleep(); });

    if (!demo_ && healthURL_ && battery_.nominal >= 1) {
        HealthTrend health = health_;
        health.record(battery_.nominal, systemHealth_, battery_.cycles, now, system_->calendar);
        health.save(*healthURL_);
        assign(health_, std::move(health), ModelField::health);
    }
    refreshLimit();
    refreshHealth();
    startSampling();
    if (!demo_ && defaults().boolean(keys::awakeAgents)) startAwake(AwakeMode::agents());
    if (const auto mode = argumentAfter(system_->arguments, "--awake")) startAwake(AwakeMode::fromStored(mode));
}

void AppModel::soon(std::function<void(AppModel&)> work) {
    queue_.post([weak = std::weak_ptr<AppModel*>(alive_), work = std::move(work)] {
        if (const auto self = weak.lock()) work(**self);
    });
}

}  // namespace norvane
