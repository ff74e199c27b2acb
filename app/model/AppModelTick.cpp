// The 5-second tick and what it runs: the draws and the forecast, the power log line, the
// charging state, the notices, the charge history once a minute and the per-tick rules.

#include <cmath>
#include <limits>

#include "app/analysis/AppEnergy.h"
#include "app/analysis/Duration.h"
#include "app/analysis/Notifier.h"
#include "app/controls/AwakeHolders.h"
#include "app/model/AppModel.h"
#include "platform/CommandLine.h"
#include "platform/FileReading.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr double ringSeconds = 900;        // draws older than this leave the ring
constexpr double historyEvery = 60;        // seconds between two history samples
constexpr double quitEffectFor = 600;      // seconds a quit's effect is shown
constexpr std::size_t remeasureDraws = 3;  // until the fourth new draw the old forecast stands

// An app's share in whole percent, cut toward zero; 0 for a share that is no number.
std::int64_t wholePercent(double share) {
    const double percent = share * 100;
    return std::isfinite(percent) ? static_cast<std::int64_t>(std::clamp(percent, 0.0, 100.0)) : 0;
}

}  // namespace

bool AppModel::isDue(Date last, Date now, double interval) {
    return now - last >= interval || last > now;
}

void AppModel::tick() {
    // The tick's readings are of one moment: each file of the machine folder is looked at once.
    const FileMoment moment;
    const auto read = Battery::read(*system_->registry);
    if (!read) {
        // A Mac without a battery runs on wall power; nothing else of the tick applies.
        Battery none;
        none.plugged = true;
        assign(battery_, none, ModelField::battery);
        assign(hasBattery_, false, ModelField::hasBattery);
        return;
    }
    assign(hasBattery_, true, ModelField::hasBattery);
    const Date now = this->now();
    checkForUpdatesIfDue(now);

    Battery reading = *read;
    const bool onBattery = pretendBattery_ || !reading.plugged;
    if (pretendBattery_) reading.charging = reading.plugged = false;

    std::vector<Draw> draws = draws_;
    if (const auto live = liveDraw(readLivePower(meter_))) {
        draws.push_back({now, *live});
    } else if (onBattery && reading.milliamps < 0 && reading.milliamps != std::numeric_limits<std::int64_t>::min()) {
        // Without the SMC the battery's own current stands in on battery.
        draws.push_back({now, -reading.milliamps});
    }
    std::erase_if(draws, [&](const Draw& draw) { return now - draw.time > ringSeconds; });
    assign(draws_, std::move(draws), ModelField::draws);

    Battery published = reading;
    if (const auto percent = argumentAfter(system_->arguments, "--percent"))
        if (const auto value = parseInt64(*percent)) published.percent = *value;
    assign(battery_, published, ModelField::battery);

    const auto made = makeForecast(reading, draws_, now);
    if (made && made->smoothed) {
        assign(forecast_, made, ModelField::forecast);
    } else if (quitEffect_ && draws_.size() <= remeasureDraws && !reading.plugged && forecast_ && forecast_->smoothed) {
        // While a quit is re-measured the last figure stays, marked early.
        assign(forecast_, std::optional(Forecast{forecast_->minutes, true, true}), ModelField::forecast);
    } else {
        assign(forecast_, made, ModelField::forecast);
    }
    const auto average = averageDraw(draws_, now);
    assign(drain_,
           average && reading.rawMax >= 1
               ? std::optional(average->milliamps / static_cast<double>(reading.rawMax) * 100)
               : std::nullopt,
           ModelField::drain);
    assign(drainEarly_, average && !average->settled, ModelField::drainEarly);
    assign(usingWatts_,
           average ? std::optional(average->milliamps * static_cast<double>(reading.millivolts) / 1'000'000)
                   : std::nullopt,
           ModelField::usingWatts);
    if (quitEffect_ && now - quitEffect_->time > quitEffectFor)
        assign(quitEffect_, std::optional<QuitEffect>(), ModelField::quitEffect);
    if (hasArgument(system_->arguments, "--log-power")) logPower(now);
    if (panelOpen_ && !demo_) updateTip();
    assign(lowPower_, system_->state->lowPowerModeEnabled(), ModelField::lowPower);
    if (panelOpen_ || !charger_) readCharging();

    if (demo_) {
        Battery shown = battery_;
        shown.plugged = false;
        shown.charging = false;
        shown.milliamps = -1100;
        assign(battery_, shown, ModelField::battery);
        assign(forecast_, std::optional(Forecast{340, true, false}), ModelField::forecast);
        assign(drain_, std::optional(9.4), ModelField::drain);
        assign(drainEarly_, false, ModelField::drainEarly);
        assign(usingWatts_, std::optional(12.6), ModelField::usingWatts);
        if (health_.points.empty())
            assign(health_, HealthTrend::demo(now, reading.design, system_->calendar), ModelField::health);
        // The tip words the figures on show, as the rest of the panel does: the made-up ones.
        if (panelOpen_) updateTip();
    } else {
        if (!pretendBattery_) {
            AlertRules rules = alerts_;
            const auto due = rules.due(reading, forecast_, limit_);
            assign(alerts_, rules, ModelField::alerts);
            for (const Alert& alert : due) {
                // An alert that is switched off still counts as sent.
                if (std::holds_alternative<alert::Low>(alert) && notifyLow_)
                    notify({title(alert), "Plug in soon, or switch on Low Power Mode."});
                if (std::holds_alternative<alert::Limit>(alert) && notifyLimit_)
                    notify({title(alert), "macOS is holding the charge here."});
            }
        }
        // A newest sample ahead of now means the clock went back: sample anyway, or the
        // history would stop until the clock caught up.
        if (history_.samples.empty() || isDue(history_.samples.back().time, now, historyEvery)) {
            // In place: the history is a month of samples, not copied once a minute.
            history_.append({now, reading.percent, reading.charging, reading.plugged});
            observers_.changed(ModelField::history);
            assign(usual_, usualDrain(history_.samples, now), ModelField::usual);
            HealthTrend health = health_;
            health.record(reading.nominal, systemHealth_, reading.cycles, now, system_->calendar);
            if (!(health == health_)) {
                if (healthURL_) health.save(*healthURL_);
                assign(health_, std::move(health), ModelField::health);
            }
        }
        if (!pretendBattery_) runRules(reading, now);
    }

    if (fullOnce_ && (battery_.percent > 99 || !battery_.plugged)) endFullOnce();
    followFullBy(now, system_->calendar);
    updateAwake(now);
}

void AppModel::logPower(Date now) {
    std::string line = system_->formatter.timeWithSeconds(now);
    line += " readings " + std::to_string(draws_.size()) + " live " +
            std::to_string(draws_.empty() ? 0 : draws_.back().milliamps) + " mA";
    if (usingWatts_)
        line += " average " + formatFixed(*usingWatts_, 1) + " W" + (drainEarly_ ? " early" : " settled");
    else
        line += " average -";
    if (forecast_)
        line += " left " + clock(forecast_->minutes) +
                (!forecast_->smoothed ? " macOS"
                 : forecast_->early   ? " early"
                                      : " settled");
    if (const auto top = topApps(); !top.empty())
        line += " top " + top.front().name + " " + std::to_string(wholePercent(share(top.front(), apps_))) + "%";
    if (const auto quit = quitResult()) {
        line += " | after quitting " + quit->name + ": " + formatFixed(quit->wattsBefore, 1) + " W -> " +
                (quit->wattsNow ? formatFixed(*quit->wattsNow, 1) + " W" : std::string("measuring"));
        if (quit->gain) line += " gain " + std::to_string(*quit->gain) + "m";
        line += quit->early ? " (first reading)" : " (settled)";
    }
    system_->console->line(line);
}

void AppModel::readCharging() {
    assign(holders_, readAwakeHolders(system_->machine), ModelField::holders);
    assign(charger_, readCharger(*system_->powerSources), ModelField::charger);
    const auto properties = smartBatteryProperties(*system_->registry);
    assign(flow_, properties ? std::optional(powerFlow(*properties)) : std::nullopt, ModelField::flow);
    const auto again = smartBatteryProperties(*system_->registry);
    assign(chargerFlags_, again ? norvane::chargerFlags(*again) : ChargerFlags{0}, ModelField::chargerFlags);
}

void AppModel::notify(const Notice& notice) {
    Notifier::send(*system_->bundle, *system_->notifications, notice.title, notice.body);
}

void AppModel::runRules(const Battery& reading, Date now) {
    const std::optional<std::int64_t> low = alertLow_ >= 1 ? std::optional(alertLow_) : std::nullopt;
    // At or above a charge limit the limit's own notice speaks.
    const bool coveredByLimit = notifyLimit_ && limit_ <= 99 && alertHigh_ >= limit_;
    const std::optional<std::int64_t> high =
        alertHigh_ < 1 || coveredByLimit ? std::nullopt : std::optional(alertHigh_);
    LevelAlerts levels = levelAlerts_;
    const auto notices = levels.due(reading.percent, reading.plugged, low, high);
    assign(levelAlerts_, levels, ModelField::levelAlerts);
    for (const Notice& notice : notices)
        notify(notice);

    // The rule waits while the helper cannot switch or a switch is under way.
    if (isReady(helperState_) && !lowPowerBusy_) {
        AutoLowPower rule = autoLow_;
        // On the adapter the mode in use is the charger's setting; what the rule owes back is
        // the battery's.
        const bool batteryLowPower = reading.plugged ? system_->state->batteryLowPowerMode() : lowPower_;
        const auto step =
            rule.step(autoLowPower_, reading.percent, reading.plugged, batteryLowPower, now, lowPowerOwed_);
        assign(autoLow_, rule, ModelField::autoLow);
        if (step.lowPowerOwed != lowPowerOwed_) setLowPowerOwed(step.lowPowerOwed);
        if (const auto* on = std::get_if<AutoLowPower::SwitchOn>(&step.action)) {
            // Told only once the mode reads on: a switch that failed must not be announced.
            switchLowPower(true, [notice = on->notice](AppModel& model) {
                if (model.lowPower_) model.notify(notice);
            });
        } else if (std::holds_alternative<AutoLowPower::SwitchOff>(step.action)) {
            switchLowPower(false, {});
        }
    }

    if (!notifyDrain_) return;
    // The heaviest app, "System" included: when it or nothing leads, the ten minutes start over.
    std::optional<DrainWatch::Top> top;
    if (!apps_.empty()) top = DrainWatch::Top{apps_.front().id, apps_.front().name, share(apps_.front(), apps_)};
    DrainWatch watch = drainWatch_;
    const auto notice = watch.due(top, drain_, usual_, reading.plugged, now);
    assign(drainWatch_, std::move(watch), ModelField::drainWatch);
    if (notice) notify(*notice);
}

}  // namespace norvane
