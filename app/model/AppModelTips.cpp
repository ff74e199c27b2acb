// What a tip's button does, quitting an app and noticing one that does not quit, the apps
// offered for quitting and what quitting one gained.

#include <algorithm>

#include "app/model/AppModel.h"

namespace norvane {
namespace {

constexpr double tipPause = 1.0;   // before the next tip is chosen
constexpr double quitWait = 4.0;   // before an app that has not quit counts as stuck
constexpr std::size_t quitOffers = 3;
constexpr std::int64_t tipLimit = 80;
constexpr std::int64_t tipAlertLevel = 20;
constexpr std::string_view batterySettingsPage = "x-apple.systempreferences:com.apple.Battery-Settings.extension";

}  // namespace

void AppModel::act(const Tip& tip) {
    if (tip.button) {
        struct Action {
            AppModel& model;
            void operator()(const tip_button::Quit& quit) const {
                // Matched by bundle path only: names are not unique.
                const auto& apps = model.apps_;
                const auto app = std::find_if(apps.begin(), apps.end(), [&](const AppUsage& a) { return a.id == quit.path; });
                if (app != apps.end()) model.quit(AppUsage(*app));
            }
            void operator()(const tip_button::LowPower&) const {
                if (!model.lowPower_) model.toggleLowPower();
            }
            void operator()(const tip_button::SetLimit&) const { model.setLimit(tipLimit); }
            void operator()(const tip_button::FullOnce&) const { model.chargeFullOnce(); }
            void operator()(const tip_button::AlertAt20&) const { model.setAlertLow(tipAlertLevel); }
            void operator()(const tip_button::ShowSleep&) const { model.setWantedTab(Tab::stats); }
            void operator()(const tip_button::BatterySettings&) const {
                model.system_->workspace->open(batterySettingsPage);
            }
        };
        std::visit(Action{*this}, *tip.button);
    }
    later(tipPause, [](AppModel& model) {
        model.assign(model.tip_, model.firstTip(), ModelField::tip);
    });
}

void AppModel::quit(const AppUsage& app) {
    if (!running(app)) {
        auto apps = apps_;
        std::erase_if(apps, [&](const AppUsage& a) { return a.id == app.id; });
        return assign(apps_, std::move(apps), ModelField::apps);
    }
    assign(stuck_, std::optional<AppUsage>(), ModelField::stuck);
    auto quitting = quitting_;
    quitting.insert(app.id);
    assign(quitting_, std::move(quitting), ModelField::quitting);
    system_->workspace->terminate(app.id);
    later(quitWait, [app](AppModel& model) {
        auto quitting = model.quitting_;
        // The app's end, when it came, has taken it out of the set already.
        const bool stillQuitting = quitting.erase(app.id) > 0;
        model.assign(model.quitting_, std::move(quitting), ModelField::quitting);
        if (!stillQuitting || !model.running(app)) return;
        model.assign(model.stuck_, std::optional(app), ModelField::stuck);
        model.system_->workspace->activate(app.id);
    });
}

std::vector<AppUsage> AppModel::topApps() const {
    const std::string own = ownBundlePath();
    std::vector<AppUsage> out;
    for (const auto& app : apps_) {
        if (out.size() == quitOffers) break;
        if (!app.id.empty() && app.id != own) out.push_back(app);
    }
    return out;
}

std::optional<QuitResult> AppModel::quitResult() const {
    if (!quitEffect_) return std::nullopt;
    const double volts = static_cast<double>(battery_.millivolts) / 1'000'000;  // mA × this = W
    QuitResult result{quitEffect_->name, quitEffect_->before * volts, std::nullopt, std::nullopt, true};
    const auto average = averageDraw(draws_, now());
    if (!average) return result;
    result.wattsNow = average->milliamps * volts;
    result.early = !average->settled;
    if (!battery_.plugged) {
        const double remaining = static_cast<double>(battery_.percent) * static_cast<double>(battery_.rawMax) / 100;
        result.gain = gainMinutes(remaining, quitEffect_->before, average->milliamps);
    }
    return result;
}

}  // namespace norvane
