#include "platform/PrivateFramework.h"

#include "platform/SmartChargeClient.h"

namespace norvane {

void MachineFrameworks::loadImage(std::string_view path) {
    if (path != powerUIImage || !fileExists(SmartChargeClient::stateFile(machine_))) return;
    const std::lock_guard lock(mutex_);
    loaded_.emplace(path);
}

std::shared_ptr<FrameworkObject> MachineFrameworks::allocate(std::string_view className) {
    const std::lock_guard lock(mutex_);
    if (className == "PowerUISmartChargeClient" && loaded_.contains(powerUIImage))
        return std::make_shared<SmartChargeClient>(machine_);
    return nullptr;
}

}  // namespace norvane
