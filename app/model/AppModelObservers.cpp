// The workspace's four announcements and what the model does with them, and the sleep log
// read off the main queue.

#include <algorithm>

#include "app/model/AppModel.h"

namespace norvane {
namespace {

constexpr double wakeSettle = 8;  // seconds after a wake before the log has the sleep

// The demonstration's three stretches, the last ending five minutes before `now`.
std::vector<SleepStretch> demoSleeps(Date now) {
    return {
        {now - 208'800, now - 180'000, 80, 80, false, 3, {{"scheduled maintenance", 3}}},
        {now - 122'400, now - 93'600, 71, 68, true, 9, {{"scheduled maintenance", 7}, {"Wi-Fi or Bluetooth", 2}}},
        {now - 33'840, now - 300, 84, 78, true, 14, {{"scheduled maintenance", 11}, {"notifications", 3}}},
    };
}

}  // namespace

void AppModel::observeWorkspace() {
    // Each handler reaches the model only while it exists; the observations end with it.
    const auto handler = [weak = std::weak_ptr<AppModel*>(alive_)](void (AppModel::*member)(const WorkspaceEvent&)) {
        return [weak, member](const WorkspaceEvent& event) {
            if (const auto self = weak.lock()) ((**self).*member)(event);
        };
    };
    WorkspaceEvents& events = *system_->workspaceEvents;
    workspaceObservers_ = {
        events.observe(WorkspaceEventKind::activated, handler(&AppModel::appActivated)),
        events.observe(WorkspaceEventKind::terminated, handler(&AppModel::appTerminated)),
        events.observe(WorkspaceEventKind::willSleep, handler(&AppModel::willSleep)),
        events.observe(WorkspaceEventKind::didWake, handler(&AppModel::didWake)),
    };
}

void AppModel::appActivated(const WorkspaceEvent& event) {
    soon([path = event.bundlePath](AppModel& model) {
        // Bringing this app forward leaves the app the user works in as it was.
        if (path && *path != model.ownBundlePath())
            model.assign(model.workingIn_, std::optional(*path), ModelField::workingIn);
    });
}

void AppModel::appTerminated(const WorkspaceEvent& event) {
    if (!event.bundlePath) return;
    soon([path = *event.bundlePath](AppModel& model) {
        auto quitting = model.quitting_;
        quitting.erase(path);
        model.assign(model.quitting_, std::move(quitting), ModelField::quitting);
        auto apps = model.apps_;
        const auto gone = std::find_if(apps.begin(), apps.end(), [&](const AppUsage& app) { return app.id == path; });
        if (gone != apps.end()) {
            // Measured while the app is still listed, so its share counts.
            model.remeasure(*gone);
            std::erase_if(apps, [&](const AppUsage& app) { return app.id == path; });
            model.assign(model.apps_, std::move(apps), ModelField::apps);
        }
        if (model.stuck_ && model.stuck_->id == path)
            model.assign(model.stuck_, std::optional<AppUsage>(), ModelField::stuck);
    });
}

void AppModel::willSleep(const WorkspaceEvent&) {
    // At once: the charge request is made before the Mac sleeps.
    fullByBeforeSleep(now());
}

void AppModel::didWake(const WorkspaceEvent&) {
    soon([](AppModel& model) {
        // No draw from before the sleep may enter the average.
        model.assign(model.draws_, std::vector<Draw>(), ModelField::draws);
        model.later(
            wakeSettle, [](AppModel& m) { m.refreshSleep(); }, ClockKind::continuous);
    });
}

void AppModel::refreshSleep() {
    const Date now = this->now();
    assign(sleepsRead_, now, ModelField::sleepsRead);
    if (demo_) return assign(sleeps_, demoSleeps(now), ModelField::sleeps);
    // Parsed where it is read: a log of weeks is tens of thousands of lines.
    offMain<std::vector<SleepStretch>>(
        Priority::utility, [runner = system_->runner] { return readSleepStretches(*runner); },
        [](AppModel& model, std::vector<SleepStretch> stretches) {
            model.assign(model.sleeps_, std::move(stretches), ModelField::sleeps);
        });
}

}  // namespace norvane
