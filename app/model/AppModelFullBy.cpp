// The full-by schedule's share of the model: its settings and the charge to full once that
// it starts.

#include "app/model/AppModel.h"
#include "app/model/DefaultsKeys.h"

namespace norvane {

void AppModel::setFullOnce(std::optional<FullCharge> state) {
    Value stored = state ? Value::string(fullOnceText(*state)) : Value();
    assignSetting(fullOnce_, state, ModelField::fullOnce, keys::fullOnce, std::move(stored));
}

void AppModel::setFullByMode(FullByMode mode) {
    assignSetting(fullByMode_, mode, ModelField::fullByMode, keys::fullByMode,
                  Value::string(std::string(rawValue(mode))));
}

void AppModel::setFullByMinutes(std::int64_t minutes) {
    assignSetting(fullByMinutes_, minutes, ModelField::fullByMinutes, keys::fullByMinutes, Value::integer(minutes));
}

void AppModel::setFullByTarget(std::optional<Date> target) {
    assignSetting(fullByTarget_, target, ModelField::fullByTarget, keys::fullByTarget,
                  target ? Value::date(*target) : Value());
}

void AppModel::setFullBy(FullByMode mode, std::int64_t minutes) {
    setFullBy(mode, minutes, now(), system_->calendar);
}

std::string AppModel::fullByLine() const {
    return fullByLine(now(), system_->calendar, system_->formatter);
}

void AppModel::chargeFullOnce() {
    if (!backend_ || fullOnce_ || limitBusy_) return;
    assign(limitBusy_, true, ModelField::limitBusy);
    assign(limitNote_, std::optional<std::string>(), ModelField::limitNote);
    offMain<std::optional<FullCharge>>(
        Priority::userInitiated,
        [backend = backend_]() -> std::optional<FullCharge> {
            try {
                return backend->chargeFullNow();
            } catch (...) {
                return std::nullopt;
            }
        },
        [](AppModel& model, std::optional<FullCharge> lifted) {
            model.assign(model.limitBusy_, false, ModelField::limitBusy);
            if (!lifted)
                model.assign(model.limitNote_, std::optional<std::string>("macOS did not accept the request."),
                             ModelField::limitNote);
            else if (!lifted->limit && !lifted->smart)
                model.assign(model.limitNote_,
                             std::optional<std::string>(
                                 "Nothing is holding the charge: the battery charges to 100% anyway."),
                             ModelField::limitNote);
            else
                model.setFullOnce(lifted);
        });
}

}  // namespace norvane
