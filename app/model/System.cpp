#include "app/model/System.h"

#include "platform/SocketXpc.h"
#include "platform/SystemLog.h"

namespace norvane {

System System::onMachine(Machine machine, std::vector<std::string> arguments, std::shared_ptr<const MainBundle> bundle,
                         std::shared_ptr<UserDefaults> defaults, std::shared_ptr<HotkeyRegistry> hotkeys,
                         std::shared_ptr<const TintSource> tint) {
    auto signing = std::make_shared<RecordCodeSigning>(machine);
    const Path bundlePath = bundle ? bundle->bundlePath() : Path();
    // The on-device model exists only from macOS 26 on; the Mac's version decides.
    const int macOS = operatingSystemVersion(machine).value_or(OSVersion{}).major;
    return System{
        machine,
        std::move(arguments),
        std::make_shared<MachineRegistry>(machine, true),
        std::make_shared<MachineKernelServices>(machine),
        std::make_shared<MachineSystemControl>(machine),
        std::make_shared<MachineHostStatistics>(machine),
        std::make_shared<MachinePowerSources>(machine),
        std::make_shared<SystemProcessRunner>(machine),
        std::make_shared<MachineWorkspace>(machine),
        std::make_shared<MachineSystemState>(machine),
        std::make_shared<MachineLanguageModel>(machine, macOS),
        std::make_shared<MachineFrameworks>(machine),
        std::move(bundle),
        signing,
        std::make_shared<MachineServiceManagement>(machine, bundlePath),
        std::make_shared<MachineXpcConnector>(machine, signing),
        std::move(defaults),
        std::move(hotkeys),
        std::move(tint),
        DateFormatter::current(),
        LocaleText::current(),
        Calendar::current(),
        // The kernel's table lives for the whole run; nothing owns it.
        std::shared_ptr<const ProcessKernel>(std::shared_ptr<const ProcessKernel>(), &systemProcessKernel()),
        std::make_shared<MachineNotificationCenter>(machine),
        &blockThread,
        std::make_shared<MachineWorkspaceEvents>(machine),
        std::make_shared<StreamLines>(),
        applicationSupportFolder(),
        cachesFolder(),
        {},
        {},
    };
}

HelperSystem helperSystem(const System& system, MainQueue& queue) {
    return HelperSystem{queue,
                        *system.bundle,
                        *system.signing,
                        *system.services,
                        *system.xpc,
                        *system.runner,
                        [machine = system.machine](std::string_view line) { systemLog(machine, line); },
                        system.arguments};
}

}  // namespace norvane
