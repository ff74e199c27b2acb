#include "app/controls/Lid.h"

#include <cstdlib>
#include <string>

#include "platform/ProcessKernel.h"
#include "platform/SystemLog.h"

namespace norvane {
namespace {
constexpr std::uint32_t ownTaskClient = 0;
constexpr std::uint32_t setClamshellSleepState = 12;
}  // namespace

const std::optional<RegistryService>& Lid::root() const {
    if (!root_) root_ = registry_.firstService("IOPMrootDomain");
    return *root_;
}

bool Lid::closed() const {
    if (!root()) return false;
    const auto state = registry_.property(*root(), "AppleClamshellState");
    return state && state->boolValue().value_or(false);
}

bool Lid::setClamshellSleep(std::uint64_t input) const {
    const auto client = kernel_.open("IOPMrootDomain", ownTaskClient);
    return client && client->callScalarMethod(setClamshellSleepState, {&input, 1}) == kernelSuccess;
}

void Lid::runGuard(const Machine& machine, std::int32_t pid) {
    waitForProcessEnd(pid);
    const bool givenBack = Lid(machine).setClamshellSleep(0);
    systemLog(machine, "Norvane lid guard: the app (pid " + std::to_string(pid) +
                           ") is gone, lid-close sleep given back: " + (givenBack ? "yes" : "NO"));
    std::exit(0);
}

}  // namespace norvane
