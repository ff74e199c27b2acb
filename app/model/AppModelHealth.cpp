// The battery's health as the system reports it, the charging state and the tip shown.

#include <algorithm>

#include "app/analysis/AppEnergy.h"
#include "app/model/AppModel.h"
#include "app/model/DefaultsKeys.h"

namespace norvane {

ChargingState AppModel::charging() const { return chargingState(battery_, chargerFlags_, flow_, charger_, limit_); }

void AppModel::refreshHealth() {
    offMain<SystemBatteryReport>(
        Priority::utility, [runner = system_->runner] { return systemBatteryReport(*runner); },
        [](AppModel& model, SystemBatteryReport report) {
            // A report without a capacity keeps the last one that had it.
            if (report.capacity) model.assign(model.systemHealth_, report.capacity, ModelField::systemHealth);
            model.assign(model.serviceRecommended_, report.serviceRecommended, ModelField::serviceRecommended);
            model.assign(model.tip_, model.firstTip(), ModelField::tip);
        });
}

TipContext AppModel::tipContext() const {
    const Date now = this->now();
    const ChargingState state = charging();
    TipContext context;
    context.battery = battery_;
    if (!battery_.plugged && forecast_) context.forecastMinutes = forecast_->minutes;
    context.lowPower = lowPower_;
    context.limit = limit_;
    context.limitAvailable = std::holds_alternative<availability::Ready>(limitAvailability_);
    context.held = std::holds_alternative<charging_state::Holding>(state) ||
                   std::holds_alternative<charging_state::Paused>(state);
    context.fullOnce = fullOnce_.has_value();
    context.optimisedOff = optimisedOff_;
    context.pluggedShare = pluggedShare(history_.samples, now);
    context.ranNearlyEmpty = std::any_of(history_.samples.begin(), history_.samples.end(), [&](const Sample& sample) {
        return now - sample.time <= 259'200 && sample.percent < 6;
    });
    context.lowAlert = alertLow_;
    context.runningHot = system_->state->thermalState() >= ThermalState::serious;
    if (systemReading_) context.batteryTemperature = systemReading_->batteryTemperature;
    context.serviceRecommended = serviceRecommended_;
    context.health = systemHealth_ ? systemHealth_ : battery_.health();
    context.heavy = heavyApp(now);
    for (auto it = sleeps_.rbegin(); it != sleeps_.rend(); ++it) {
        if (it->onBattery && now - it->end < 86'400) {
            context.lastSleep = *it;
            break;
        }
    }
    return context;
}

std::optional<HeavyApp> AppModel::heavyApp(Date now) const {
    if (battery_.plugged) return std::nullopt;
    const std::string own = ownBundlePath();
    // Only the largest other app is looked at; a smaller one never stands in for it.
    const auto top = std::find_if(apps_.begin(), apps_.end(),
                                  [&](const AppUsage& app) { return !app.id.empty() && app.id != own; });
    if (top == apps_.end()) return std::nullopt;
    const double part = share(*top, apps_);
    if (!(top->impact >= 10.0) || !(part >= 0.25)) return std::nullopt;
    HeavyApp heavy{top->id, top->name, part, workingIn_ == top->id, attention_.sustained(*top, now), advice(*top),
                   std::nullopt, false};
    if (forecast_ && forecast_->smoothed) heavy.gain = gainMinutes(forecast_->minutes, part);
    heavy.early = forecast_ && forecast_->early;
    return heavy;
}

std::string AppModel::advice(const AppUsage& app) const {
    return norvane::advice(app, share(app, apps_), workingIn_ == app.id, attention_.sustained(app, now()));
}

std::set<std::string> AppModel::dismissedTips() const {
    const auto ids = defaults().stringArray(keys::dismissedTips);
    return ids ? std::set<std::string>(ids->begin(), ids->end()) : std::set<std::string>();
}

std::optional<Tip> AppModel::firstTip() const {
    if (!hasBattery_) return std::nullopt;
    return pickTip(tipContext(), dismissedTips());
}

void AppModel::updateTip() {
    if (!hasBattery_) return assign(tip_, std::optional<Tip>(), ModelField::tip);  // as `firstTip`
    const auto dismissed = dismissedTips();
    std::vector<Tip> open;
    for (auto& tip : tips(tipContext()))
        if (!dismissed.contains(tip.id)) open.push_back(std::move(tip));
    if (open.empty()) return assign(tip_, std::optional<Tip>(), ModelField::tip);
    // The tip on show stays while it applies, its texts refreshed; an earlier one waits.
    if (tip_) {
        const auto same = std::find_if(open.begin(), open.end(), [&](const Tip& tip) { return tip.id == tip_->id; });
        if (same != open.end()) return assign(tip_, std::optional<Tip>(std::move(*same)), ModelField::tip);
    }
    assign(tip_, std::optional<Tip>(std::move(open.front())), ModelField::tip);
}

void AppModel::dismissTip() {
    if (!tip_) return;
    auto dismissed = dismissedTips();
    dismissed.insert(tip_->id);
    Value::Array stored;
    for (const auto& id : dismissed) stored.push_back(Value::string(id));
    defaults().set(keys::dismissedTips, Value::array(std::move(stored)));
    assign(tip_, firstTip(), ModelField::tip);
}

}  // namespace norvane
