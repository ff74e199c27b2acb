#pragma once
// The model as the script actions and the URL commands reach it: the actions' target
// (`IntentTarget`) on the one `AppModel`, with the system's Low Power Mode read now rather
// than the model's last reading of it.

#include <memory>

#include "app/model/AppModel.h"
#include "app/shell/Intents.h"
#include "platform/SystemState.h"

namespace norvane {

class ModelTarget final : public IntentTarget {
public:
    // Both must outlive the target.
    ModelTarget(AppModel& model, const SystemState& state) : model_(model), state_(state) {}

    AppModel& model() const { return model_; }

    const Battery& battery() const override { return model_.battery(); }
    bool hasBattery() const override { return model_.hasBattery(); }
    const std::optional<Forecast>& forecast() const override { return model_.forecast(); }
    const std::optional<PowerFlow>& flow() const override { return model_.flow(); }
    bool lowPowerModeEnabled() const override { return state_.lowPowerModeEnabled(); }
    void startAwake(const AwakeMode& mode) override { model_.startAwake(mode); }
    void stopAwake() override { model_.stopAwake(); }
    void refreshLimit() override { model_.refreshLimit(); }
    void setLimit(std::int64_t percent) override { model_.setLimit(percent); }
    void chargeFullOnce() override { model_.chargeFullOnce(); }
    void setLowPower(bool on) override { model_.setLowPower(on); }

private:
    AppModel& model_;
    const SystemState& state_;
};

}  // namespace norvane
