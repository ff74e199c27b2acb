// The energy list meets the apps that really run: re-measuring after a quit, the running
// app behind an entry, and the apps keep-awake can wait for.

#include <algorithm>

#include "app/analysis/AppEnergy.h"
#include "app/model/AppModel.h"

namespace norvane {

std::string AppModel::ownBundlePath() const { return system_->bundle->bundlePath().string(); }

void AppModel::remeasure(const AppUsage& app) {
    if (!(share(app, apps_) >= 0.05)) return;
    const Date now = this->now();
    const auto average = averageDraw(draws_, now);
    if (!average) return;
    assign(quitEffect_, std::optional(QuitEffect{app.name, now, average->milliamps}), ModelField::quitEffect);
    assign(draws_, std::vector<Draw>(), ModelField::draws);
    assign(drain_, std::optional<double>(), ModelField::drain);
    assign(usingWatts_, std::optional<double>(), ModelField::usingWatts);
}

std::optional<RunningApplication> AppModel::running(const AppUsage& app) const {
    if (app.id.empty()) return std::nullopt;
    for (auto& running : system_->workspace->runningApplications())
        if (running.bundlePath == app.id) return std::move(running);
    return std::nullopt;
}

std::vector<RunningApp> AppModel::runningApps() const {
    std::vector<RunningApp> out;
    for (auto& running : system_->workspace->runningApplications()) {
        if (running.policy != ActivationPolicy::regular || !running.bundlePath) continue;
        // Without a name of its own an app goes by its bundle's file name.
        std::string name = running.localizedName ? *running.localizedName : appName(*running.bundlePath);
        out.push_back({std::move(name), std::move(*running.bundlePath)});
    }
    const LocaleText& locale = system_->localeText;
    std::stable_sort(out.begin(), out.end(),
                     [&](const RunningApp& a, const RunningApp& b) { return locale.compare(a.name, b.name) < 0; });
    return out;
}

}  // namespace norvane
