// What the panel's summary and the menu-bar item say, the on-device wording of the summary,
// and the system figures of the Stats page.

#include <algorithm>
#include <utility>

#include "app/analysis/AppEnergy.h"
#include "app/analysis/Duration.h"
#include "app/analysis/Intelligence.h"
#include "app/analysis/Levels.h"
#include "app/model/AppModel.h"

namespace norvane {

namespace {
constexpr double sleepNoteFor = 1800;     // seconds a sleep heads the summary after it ended
constexpr double modelCallEvery = 1800;   // seconds between two calls of the language model
constexpr std::int64_t wordingFloor = 20;  // percent on battery under which the template speaks
}  // namespace

Situation AppModel::currentSituation() const {
    const std::int64_t percent = battery_.percent;
    if (battery_.charging)
        return situation::Charging{forecast_ ? std::optional(forecast_->minutes) : std::nullopt};
    if (battery_.plugged) {
        if (percent > 99) return situation::Full{};
        if (limit_ <= 99 && percent >= levelPlus(limit_, -2)) return situation::Holding{percent, limit_};
        return situation::PluggedIdle{percent};
    }
    if (!forecast_) return situation::Estimating{};
    const std::int64_t minutes = forecast_->minutes;
    if (minutes < 30 || percent < 11) return situation::Low{minutes};
    // The system's own processes (no id) are never the top app.
    const auto top = std::find_if(apps_.begin(), apps_.end(), [](const AppUsage& app) { return !app.id.empty(); });
    if (top != apps_.end()) {
        const double part = share(*top, apps_);
        if (part >= 0.25 && drain_ && usual_ && *usual_ > 0 && *drain_ >= 1.5 * *usual_)
            return situation::Faster{top->name, part, minutes};
        if (part >= 0.3) return situation::HeavyApp{top->name, part, minutes};
    }
    return situation::Plenty{minutes};
}

std::optional<Headline> AppModel::sleepNote() const {
    if (sleeps_.empty()) return std::nullopt;
    const SleepStretch& last = sleeps_.back();
    if (now() - last.end < sleepNoteFor) return sleepSummary(last);
    return std::nullopt;
}

std::optional<Headline> AppModel::specialHeadline() const {
    if (!hasBattery_) return Headline{"No battery", "Running on wall power"};
    if (auto note = sleepNote()) return note;
    if (fullOnce_ && battery_.plugged && !battery_.charging && battery_.percent <= 99)
        return Headline{"Charging to 100% once", "macOS starts within a few minutes"};
    const ChargingState state = charging();
    using namespace charging_state;
    if (std::holds_alternative<WeakCharger>(state) || std::holds_alternative<Paused>(state) ||
        std::holds_alternative<TooWarm>(state) || std::holds_alternative<TooCold>(state) ||
        std::holds_alternative<NotCharging>(state))
        return chargingWords(state);
    return std::nullopt;
}

std::optional<Wording> AppModel::wording(const Situation& situation) const {
    if (!useAI_) return std::nullopt;
    // Low on battery the fixed words speak, even when a wording is cached.
    if (!battery_.plugged && battery_.percent < wordingFloor) return std::nullopt;
    const auto prompt = summaryPrompt(situation);
    if (!prompt) return std::nullopt;
    const auto cached = wordings_.find(prompt->key);
    if (cached == wordings_.end()) return std::nullopt;
    return cached->second;
}

Headline AppModel::headline() const {
    if (auto special = specialHeadline()) return *special;
    const Date now = this->now();
    const Situation situation = currentSituation();
    const auto clock = [this](Date date) { return timeOfDay(date); };
    if (const auto worded = wording(situation))
        if (auto filled = fill(*worded, summaryValues(situation, battery_.percent, now, clock))) return *filled;
    return templateHeadline(situation, now, clock);
}

bool AppModel::headlineByAI() const { return !specialHeadline() && wording(currentSituation()).has_value(); }

void AppModel::refreshWording() {
    assign(aiAvailable_, system_->languageModel->available(), ModelField::aiAvailable);
    if (!useAI_ || !aiAvailable_) return;
    if (!battery_.plugged && battery_.percent < wordingFloor) return;
    const auto prompt = summaryPrompt(currentSituation());
    if (!prompt || wordings_.contains(prompt->key)) return;
    const Date now = this->now();
    if (now - lastModelCall_ < modelCallEvery) return;
    // Set before the call, so that a failed or refused answer waits its turn too.
    assign(lastModelCall_, now, ModelField::lastModelCall);
    std::vector<std::string> otherApps;
    for (const auto& app : apps_)
        if (!app.id.empty() && prompt->text.find(app.name) == std::string::npos) otherApps.push_back(app.name);
    offMain<std::optional<SummaryLines>>(
        Priority::utility,
        [model = system_->languageModel, text = prompt->text] { return Intelligence::word(*model, text); },
        [key = prompt->key, text = prompt->text, otherApps](AppModel& model, std::optional<SummaryLines> lines) {
            if (!lines) return;
            const auto checked = checkedWording(lines->title, lines->detail, text, otherApps);
            if (!checked) return;
            auto next = model.wordings_;
            next.insert_or_assign(key, *checked);
            model.assign(model.wordings_, std::move(next), ModelField::wordings);
        });
}

std::string AppModel::menuText() const {
    if (!hasBattery_) return "No battery";
    const std::string percent = std::to_string(battery_.percent) + "%";
    if (showTime_ && !battery_.plugged && forecast_) return percent + " \u00B7 " + clock(forecast_->minutes);
    return percent;
}

void AppModel::refreshSystem(std::function<void()> done) {
    if (!panelOpen_) {
        if (done) done();
        return;
    }
    if (done) sensorsWaiting_.push_back(std::move(done));
    // The sensors keep the previous reading's counters: two reads at once would race on them.
    if (sensorsReading_) return;
    sensorsReading_ = true;
    offMain<SystemReading>(
        Priority::utility,
        // The system's parts stay alive with the job: the sensors read through them.
        [sensors = sensors_, system = system_] { return sensors->read(); },
        [](AppModel& model, SystemReading reading) {
            model.sensorsReading_ = false;
            model.assign(model.systemReading_, std::optional(reading), ModelField::system);
            for (const auto& waiting : std::exchange(model.sensorsWaiting_, {}))
                waiting();
        });
}

}  // namespace norvane
