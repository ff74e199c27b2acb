// The charge limit that macOS keeps: setting it, ending a charge to full once, reading it
// back, and the backend, made on first need.

#include "app/model/AppModel.h"
#include "app/readings/PowerUIBackend.h"

namespace norvane {
namespace {

// Puts back what a charge to full once lifted: the limit first, then smart charging. A
// limit that cannot be set leaves smart charging alone. Nothing is reported: the limit
// read back afterwards shows what macOS holds.
void restore(const FullCharge& lifted, LimitBackend& backend) {
    try {
        if (lifted.limit) backend.set(*lifted.limit);
    } catch (...) {
        return;
    }
    try {
        if (lifted.smart) backend.enableSmartCharging();
    } catch (...) {
    }
}

}  // namespace

std::shared_ptr<LimitBackend> AppModel::limitBackend() {
    if (backend_) return backend_;
    // The backend runs `pmset` through the system's runner, so it keeps the system alive.
    std::shared_ptr<LimitBackend> backend(new PowerUIBackend(*system_->frameworks, *system_->runner),
                                          [system = system_](LimitBackend* made) { delete made; });
    assign(backend_, backend, ModelField::backend);
    return backend;
}

void AppModel::refreshLimit() {
    const OSVersion os = system_->state->operatingSystemVersion().value_or(OSVersion{});
    assign(limitAvailability_, ChargeLimit::availability(os, [this] { return limitBackend(); }),
           ModelField::limitAvailability);
    if (!std::holds_alternative<availability::Ready>(limitAvailability_) || !backend_) return;
    // Read failures leave the fields as they were.
    if (!limitBusy_) {
        try {
            const LimitSetting setting = backend_->read();
            assign(limit_, setting.enabled ? setting.limit : 100, ModelField::limit);
        } catch (...) {
        }
    }
    try {
        assign(optimisedOff_, !backend_->optimised(), ModelField::optimisedOff);
    } catch (...) {
    }
}

void AppModel::setLimit(std::int64_t percent) {
    if (!backend_ || limitBusy_) return;
    // A new limit ends a running charge to full once, after putting back what it lifted.
    const std::optional<FullCharge> lifted = fullOnce_;
    if (lifted) setFullOnce(std::nullopt);
    assign(limitBusy_, true, ModelField::limitBusy);
    assign(limitNote_, std::optional<std::string>(), ModelField::limitNote);
    const bool plugged = battery_.plugged;
    offMain<LimitResult>(
        Priority::userInitiated,
        [backend = backend_, lifted, percent, plugged, wait = system_->blockingWait] {
            if (lifted) restore(*lifted, *backend);
            return ChargeLimit::apply(percent, *backend, plugged, wait);
        },
        [percent](AppModel& model, LimitResult result) {
            model.assign(model.limitBusy_, false, ModelField::limitBusy);
            std::optional<std::string> note;
            if (std::holds_alternative<limit_result::Pending>(result))
                note = "macOS accepted " + std::to_string(percent) + "% and will start holding it shortly.";
            else if (const auto* failed = std::get_if<limit_result::Failed>(&result))
                note = "Not applied: " + failed->message + ".";
            model.assign(model.limitNote_, std::move(note), ModelField::limitNote);
            model.refreshLimit();
        });
}

void AppModel::cancelFullOnce() {
    if (!backend_ || !fullOnce_ || limitBusy_) return;  // nothing ends: nothing to hold off
    // Noted before the charge ends, so the settings' sentence, redrawn as it ends, says so.
    fullByCancelled(now());
    endFullOnce();
}

void AppModel::endFullOnce() {
    if (!backend_ || !fullOnce_ || limitBusy_) return;  // the tick asks again
    const FullCharge lifted = *fullOnce_;
    setFullOnce(std::nullopt);
    assign(limitBusy_, true, ModelField::limitBusy);
    offMain<bool>(
        Priority::userInitiated,
        [backend = backend_, lifted] {
            restore(lifted, *backend);
            return true;
        },
        [](AppModel& model, bool) {
            model.assign(model.limitBusy_, false, ModelField::limitBusy);
            model.refreshLimit();
        });
}

}  // namespace norvane
