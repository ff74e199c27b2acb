// Keep-awake: the settings that say how.

#include "app/model/AppModel.h"
#include "app/model/DefaultsKeys.h"

namespace norvane {

void AppModel::setAgentsIgnored(std::set<std::string> names) {
    Value::Array stored;  // ascending, as the set keeps them
    for (const auto& name : names) stored.push_back(Value::string(name));
    assignSetting(agentsIgnored_, std::move(names), ModelField::agentsIgnored, keys::agentsIgnored,
                  Value::array(std::move(stored)));
}

void AppModel::setAwakeMode(AwakeMode mode) {
    Value stored = Value::string(mode.stored());
    assignSetting(awakeMode_, std::move(mode), ModelField::awakeMode, keys::awakeMode, std::move(stored));
}

void AppModel::setAwakeFloor(std::int64_t percent) {
    assignSetting(awakeFloor_, percent, ModelField::awakeFloor, keys::awakeFloor, Value::integer(percent));
}

void AppModel::setAwakePowerOnly(bool on) {
    assignSetting(awakePowerOnly_, on, ModelField::awakePowerOnly, keys::awakePowerOnly, Value::boolean(on));
}

void AppModel::setAwakeLid(bool on) {
    assignSetting(awakeLid_, on, ModelField::awakeLid, keys::awakeLid, Value::boolean(on));
}

}  // namespace norvane
