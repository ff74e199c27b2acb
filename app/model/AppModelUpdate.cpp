// The self-update as the panel and the settings see it: the daily check and the asked one,
// the download with its verification, and the install.

#include <unistd.h>

#include "app/model/AppModel.h"
#include "app/model/DefaultsKeys.h"
#include "app/update/Updater.h"

namespace norvane {
namespace {

constexpr double checkEvery = 86'400;  // seconds between two daily checks
constexpr double retryAfter = 3'600;   // after a check without an answer
constexpr std::string_view notPrepared = "The update could not be prepared.";
constexpr std::string_view notInstalled = "The update could not be installed.";

// What a blocking step of the updater gave: its result, or the sentence of its failure.
template <typename Result>
struct Outcome {
    std::optional<Result> value;
    std::string failure;
};

template <typename Result>
Outcome<Result> attempt(const std::function<Result()>& step, std::string_view otherwise) {
    try {
        return {step(), {}};
    } catch (const UpdateError& error) {
        return {std::nullopt, error.message};
    } catch (...) {
        return {std::nullopt, std::string(otherwise)};
    }
}

bool isStage(const UpdateStage& stage, auto... kinds) {
    return (std::holds_alternative<decltype(kinds)>(stage) || ...);
}

}  // namespace

// The feed and the updater, built once from the system they read, which they keep alive.
struct AppModel::UpdateParts {
    UpdateParts(std::shared_ptr<const System> system, MainQueue& queue)
        : system(std::move(system)),
          updates(this->system->arguments, *this->system->bundle),
          updater(UpdaterSystem{updates, *this->system->signing, queue, this->system->machine, this->system->caches,
                                static_cast<std::int32_t>(::getpid()), this->system->terminate}),
          runningBuild(updates.runningBuild()) {}

    std::shared_ptr<const System> system;
    Updates updates;
    Updater updater;
    std::optional<std::int64_t> runningBuild;  // the bundle does not change under a running copy
};

const std::shared_ptr<const AppModel::UpdateParts>& AppModel::updateParts() {
    if (!updateParts_) updateParts_ = std::make_shared<const UpdateParts>(system_, queue_);
    return updateParts_;
}

void AppModel::checkForUpdatesIfDue(Date now) {
    if (!checksForUpdates_ || !updateParts()->runningBuild) return;
    // A last check ahead of now (the clock was set back) does not hold the checks off.
    if (isDue(defaults().date(keys::updateChecked).value_or(Date::distantPast()), now, checkEvery))
        checkForUpdates(false, now);
}

void AppModel::checkForUpdates(bool asked, Date now) {
    if (updateBusy_) return;
    assign(updateBusy_, true, ModelField::updateBusy);
    if (asked) assign(updateNote_, std::optional<std::string>("Checking\u2026"), ModelField::updateNote);
    const auto parts = updateParts();
    offMain<std::optional<AvailableUpdate>>(
        Priority::utility, [parts] { return parts->updates.latest(); },
        [parts, asked, now](AppModel& model, std::optional<AvailableUpdate> answer) {
            model.assign(model.updateBusy_, false, ModelField::updateBusy);
            // The time of the check, not of the answer; without one the next comes in an hour.
            model.defaults().set(keys::updateChecked, Value::date(answer ? now : now - (checkEvery - retryAfter)));
            if (answer) {
                const bool newer = parts->runningBuild && *parts->runningBuild < answer->build;
                model.assign(model.update_, newer ? answer : std::nullopt, ModelField::update);
            }
            if (!asked) return;
            model.assign(model.updateLater_, false, ModelField::updateLater);
            std::string note = !answer         ? "The website could not be reached. Try again later."
                               : model.update_ ? "Norvane " + model.update_->version + " is available."
                                               : "You have the newest version.";
            model.assign(model.updateNote_, std::optional(std::move(note)), ModelField::updateNote);
        });
}

void AppModel::downloadUpdate() {
    if (!update_ || !isStage(updateStage_, update_stage::Idle{}, update_stage::Failed{})) return;
    assign(updateStage_, UpdateStage(update_stage::Downloading{0.0}), ModelField::updateStage);
    const auto parts = updateParts();
    const AvailableUpdate offer = *update_;
    // A report that comes after the stage moved on is dropped.
    std::function<void(double)> progress = [weak = std::weak_ptr<AppModel*>(alive_)](double fraction) {
        const auto self = weak.lock();
        if (!self || !std::holds_alternative<update_stage::Downloading>((**self).updateStage_)) return;
        (**self).assign((**self).updateStage_, UpdateStage(update_stage::Downloading{fraction}),
                        ModelField::updateStage);
    };
    offMain<Outcome<Path>>(
        Priority::userInitiated,
        [parts, progress] { return attempt<Path>([&] { return parts->updater.download(progress); }, notPrepared); },
        [parts, offer](AppModel& model, Outcome<Path> archive) {
            if (!archive.value) {
                return model.assign(model.updateStage_, UpdateStage(update_stage::Failed{archive.failure}),
                                    ModelField::updateStage);
            }
            model.assign(model.updateStage_, UpdateStage(update_stage::Checking{}), ModelField::updateStage);
            model.offMain<Outcome<Path>>(
                Priority::userInitiated,
                [parts, offer, path = *archive.value] {
                    return attempt<Path>([&] { return parts->updater.unpackAndCheck(path, offer); }, notPrepared);
                },
                [](AppModel& model, Outcome<Path> bundle) {
                    model.assign(model.updateStage_,
                                 bundle.value ? UpdateStage(update_stage::Ready{*bundle.value})
                                              : UpdateStage(update_stage::Failed{bundle.failure}),
                                 ModelField::updateStage);
                });
        });
}

std::string AppModel::runningVersion() { return updateParts()->updates.runningVersion(); }

std::optional<std::string> AppModel::updateBlocker() { return updateParts()->updater.blocker(); }

void AppModel::installUpdate() {
    const auto* ready = std::get_if<update_stage::Ready>(&updateStage_);
    if (!ready) return;
    const Path bundle = ready->bundle;
    assign(updateStage_, UpdateStage(update_stage::Installing{}), ModelField::updateStage);
    // Keep-awake ends without a note, and the next launch does not resume agent watching.
    stopAwake();
    const auto parts = updateParts();
    const auto installed = attempt<bool>(
        [&] {
            parts->updater.install(bundle);
            return true;
        },
        notInstalled);
    // Keep-awake is not taken up again after a failure.
    if (!installed.value)
        assign(updateStage_, UpdateStage(update_stage::Failed{installed.failure}), ModelField::updateStage);
}

}  // namespace norvane
