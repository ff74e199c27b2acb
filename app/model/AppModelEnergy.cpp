// The energy mode and Low Power, switched through the privileged helper, and setting the
// helper up.

#include <utility>

#include "app/controls/EnergyMode.h"
#include "app/model/AppModel.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr double readBackDelay = 0.4;  // until a change shows in the system's settings

}  // namespace

bool parseHighPowerAvailable(std::string_view capabilities) { return hasWord(capabilities, "highpowermode", " \n\t"); }

std::function<void()> AppModel::retrying(std::function<void(AppModel&)> member) {
    return [weak = std::weak_ptr<AppModel*>(alive_), member = std::move(member)] {
        if (const auto self = weak.lock()) member(**self);
    };
}

Helper::Done AppModel::whenAnswered(std::function<void(AppModel&, Helper::Result)> apply) {
    return [weak = std::weak_ptr<AppModel*>(alive_), helper = helper_, system = system_,
            apply = std::move(apply)](Helper::Result result) {
        if (const auto self = weak.lock()) apply(**self, std::move(result));
    };
}

bool AppModel::helperReady(const std::function<void()>& retry) {
    assign(lowPowerNote_, std::optional<std::string>(), ModelField::lowPowerNote);
    setLowPowerOwed(false);
    assign(helperState_, helper_->state(), ModelField::helperState);
    if (const auto* unavailable = std::get_if<helper_state::Unavailable>(&helperState_)) {
        assign(lowPowerNote_, std::optional(unavailable->reason), ModelField::lowPowerNote);
        return false;
    }
    if (!isReady(helperState_)) {
        askForSetup(retry);
        return false;
    }
    return true;
}

void AppModel::lowPowerRequestStarted() {
    ++lowPowerRequests_;
    assign(lowPowerBusy_, true, ModelField::lowPowerBusy);
}

void AppModel::readLowPowerBack(bool readMode, std::function<void(AppModel&)> then) {
    later(readBackDelay, [readMode, then = std::move(then)](AppModel& model) {
        model.assign(model.lowPower_, model.system_->state->lowPowerModeEnabled(), ModelField::lowPower);
        // Requests overlap: the last one to end clears the flag.
        model.lowPowerRequests_ = std::max(model.lowPowerRequests_ - 1, 0);
        model.assign(model.lowPowerBusy_, model.lowPowerRequests_ > 0, ModelField::lowPowerBusy);
        // Where the Mac offers High Power, Low Power is one of its modes: a switch of Low
        // Power (the rule's, a tip's) moves the mode the segments show too.
        if (readMode || model.highPowerAvailable_) model.refreshPowerMode();
        if (then) then(model);
    });
}

void AppModel::lowPowerAnswered(const Helper::Result& failure, std::string_view prefix,
                                const std::function<void()>& retry, bool readMode) {
    assign(helperState_, helper_->state(), ModelField::helperState);
    if (!isReady(helperState_)) askForSetup(retry);
    else if (failure)
        assign(lowPowerNote_, std::optional(std::string(prefix) + *failure + "."), ModelField::lowPowerNote);
    readLowPowerBack(readMode, {});
}

void AppModel::toggleLowPower() {
    auto retry = retrying([](AppModel& model) { model.toggleLowPower(); });
    if (helperReady(retry)) requestLowPower(!lowPower_, std::move(retry));
}

void AppModel::setLowPower(bool on) {
    auto retry = retrying([on](AppModel& model) { model.setLowPower(on); });
    if (helperReady(retry)) requestLowPower(on, std::move(retry));
}

void AppModel::requestLowPower(bool on, std::function<void()> retry) {
    lowPowerRequestStarted();
    helper_->setLowPower(on, whenAnswered([retry = std::move(retry)](AppModel& model, Helper::Result failure) {
        model.lowPowerAnswered(failure, "Low Power Mode was not switched: ", retry, false);
    }));
}

void AppModel::setPowerMode(std::int64_t mode) {
    auto retry = retrying([mode](AppModel& model) { model.setPowerMode(mode); });
    if (!helperReady(retry)) return;
    lowPowerRequestStarted();
    helper_->setPowerMode(mode, whenAnswered([retry](AppModel& model, Helper::Result failure) {
        model.lowPowerAnswered(failure, "The energy mode was not changed: ", retry, true);
    }));
}

void AppModel::switchLowPower(bool on) { switchLowPower(on, {}); }

void AppModel::switchLowPower(bool on, std::function<void(AppModel&)> readBack) {
    lowPowerRequestStarted();
    helper_->setLowPower(on, whenAnswered([readBack = std::move(readBack)](AppModel& model, Helper::Result) {
        model.readLowPowerBack(false, readBack);
    }));
}

void AppModel::refreshPowerMode() {
    using Outputs = std::pair<std::string, std::string>;
    offMain<Outputs>(
        Priority::utility,
        [system = system_] { return Outputs(pmset(*system->runner, {"-g"}), pmset(*system->runner, {"-g", "cap"})); },
        [](AppModel& model, Outputs outputs) {
            model.assign(model.highPowerAvailable_, parseHighPowerAvailable(outputs.second),
                         ModelField::highPowerAvailable);
            if (model.lowPowerBusy_) return;  // the request in flight reads the mode back itself
            if (const auto mode = parsePowerMode(outputs.first))
                model.assign(model.powerMode_, *mode, ModelField::powerMode);
        });
}

void AppModel::askForSetup(std::function<void()> then) {
    assign(afterSetup_, std::move(then), ModelField::afterSetup);
    assign(helperCard_, true, ModelField::helperCard);
}

void AppModel::installHelper() {
    Helper::Result reason;
    if (std::holds_alternative<helper_state::NotInstalled>(helper_->state())) reason = helper_->install();
    assign(helperState_, helper_->state(), ModelField::helperState);
    if (std::holds_alternative<helper_state::NeedsApproval>(helperState_))
        return system_->services->openSystemSettingsLoginItems();
    assign(helperCard_, false, ModelField::helperCard);
    if (isReady(helperState_)) {
        // Taken before it runs: an action that parks itself again must stay parked.
        std::function<void()> parked = std::move(afterSetup_);
        assign(afterSetup_, std::function<void()>(), ModelField::afterSetup);
        if (parked) parked();
        return;
    }
    assign(lowPowerNote_, std::optional("macOS did not accept the helper: " + reason.value_or("no reason given") + "."),
           ModelField::lowPowerNote);
}

void AppModel::removeHelper() {
    const auto failure = helper_->remove();
    assign(lowPowerNote_, failure ? std::optional("The helper was not removed: " + *failure + ".") : std::nullopt,
           ModelField::lowPowerNote);
    assign(helperState_, helper_->state(), ModelField::helperState);
}

}  // namespace norvane
