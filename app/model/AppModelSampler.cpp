// The sampler: each app's energy from `top`, attention and the per-day ledger, every 8 s
// while the panel is open and every 60 s otherwise; what opening the panel refreshes; the
// open-at-login switch.

#include <atomic>
#include <deque>
#include <mutex>

#include "app/analysis/AppEnergy.h"
#include "app/analysis/LoginItem.h"
#include "app/model/AppModel.h"
#include "platform/ProcessTable.h"

namespace norvane {
namespace {

constexpr double openPause = 8;      // seconds between samples while the panel is open
constexpr double closedPause = 60;   // and while it is closed
constexpr double ledgerEvery = 60;   // seconds between two saves of the ledger
constexpr double sleepLogAge = 900;  // an opening panel re-reads an older sleep log

}  // namespace

void AppModel::startSampling() {
    // The old loop is not waited for: it ends at its next look at its token.
    sampler_.cancel();
    sampler_ = Task(std::make_shared<Task::State>());
    samplePass(sampler_);
}

void AppModel::samplePass(const Task& pass) {
    if (pass.cancelled()) return;
    offMain<std::vector<AppUsage>>(
        Priority::utility,
        [runner = system_->runner, machine = system_->machine] {
            return groupByApp(parseTop(runTop(*runner)), machineProcessPaths(machine));
        },
        [pass](AppModel& model, std::vector<AppUsage> apps) {
            if (pass.cancelled()) return;
            model.assign(model.apps_, std::move(apps), ModelField::apps);
            Attention attention = model.attention_;
            attention.update(model.apps_, model.now());
            model.assign(model.attention_, std::move(attention), ModelField::attention);
            model.record(model.apps_);
            model.later(
                model.panelOpen_ ? openPause : closedPause, [pass](AppModel& m) { m.samplePass(pass); },
                ClockKind::continuous);
        });
}

void AppModel::record(const std::vector<AppUsage>& apps) {
    const Date now = this->now();
    // In place, unless a save still holds it: the ledger of a month of many apps is not
    // copied and compared on every sample.
    if (ledger_.use_count() > 1) ledger_ = std::make_shared<AppLedger>(*ledger_);
    // Alone with it: what a finished save read of it happened before its release.
    else std::atomic_thread_fence(std::memory_order_acquire);
    // At most 120 s a sample, and nothing for a clock that went back.
    if (ledger_->add(apps, AppLedger::sampleSeconds(now - lastSample_), now, system_->calendar))
        observers_.changed(ModelField::ledger);
    assign(lastSample_, now, ModelField::lastSample);
    // A save time ahead of now (the clock went back) must not hold the saves off.
    if (!ledgerURL_ || !isDue(ledgerSaved_, now, ledgerEvery)) return;
    assign(ledgerSaved_, now, ModelField::ledgerSaved);
    // A failed save is tried again a minute later.
    writeInOrder([ledger = std::shared_ptr<const AppLedger>(ledger_), url = *ledgerURL_] { ledger->save(url); });
}

struct AppModel::Writes {
    std::mutex mutex;
    std::deque<std::function<void()>> pending;
    bool running = false;  // a background job is writing what is pending
};

void AppModel::writeInOrder(std::function<void()> write) {
    if (!writes_) writes_ = std::make_shared<Writes>();
    {
        const std::lock_guard lock(writes_->mutex);
        writes_->pending.push_back(std::move(write));
        if (writes_->running) return;
        writes_->running = true;
    }
    // One job at a time writes whatever is pending, oldest first.
    queue_.background(Priority::utility, [writes = writes_]() -> std::function<void()> {
        for (;;) {
            std::function<void()> next;
            {
                const std::lock_guard lock(writes->mutex);
                if (writes->pending.empty()) {
                    writes->running = false;
                    return {};
                }
                next = std::move(writes->pending.front());
                writes->pending.pop_front();
            }
            next();
        }
    });
}

void AppModel::setPanelOpen(bool open) {
    if (open == panelOpen_) return;
    assign(panelOpen_, open, ModelField::panelOpen);
    if (!open) return;
    startSampling();
    refreshLimit();
    refreshHealth();
    const Date now = this->now();
    assign(usual_, usualDrain(history_.samples, now), ModelField::usual);
    refreshWording();
    readCharging();
    refreshAgents();
    if (now - sleepsRead_ > sleepLogAge) soon([](AppModel& model) { model.refreshSleep(); });
    assign(helperState_, helper_->state(), ModelField::helperState);
    refreshPowerMode();
    if (isReady(helperState_)) {
        assign(helperCard_, false, ModelField::helperCard);
        assign(lowPowerNote_, std::optional<std::string>(), ModelField::lowPowerNote);
    }
}

void AppModel::setOpenAtLogin(bool on) {
    const MainBundle& bundle = *system_->bundle;
    if (const auto error = LoginItem::set(bundle, *system_->services, on))
        assign(lowPowerNote_, std::optional("Open at login was not changed: " + *error + "."),
               ModelField::lowPowerNote);
    assign(openAtLogin_, LoginItem::enabled(bundle, *system_->services), ModelField::openAtLogin);
}

}  // namespace norvane
