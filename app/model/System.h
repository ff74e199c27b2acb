#pragma once
// The platform the model runs on, as one bundle of the narrow interfaces its members use.
// Everything is shared, so a background job keeps alive what it reads even when the model
// is gone; tests put fakes in place of any part.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/controls/Helper.h"
#include "app/model/HotkeyRegistry.h"
#include "app/model/SavePanel.h"
#include "app/model/TintSource.h"
#include "platform/CodeSigning.h"
#include "platform/DateFormatter.h"
#include "platform/HostStatistics.h"
#include "platform/KernelService.h"
#include "platform/LanguageModel.h"
#include "platform/LineSink.h"
#include "platform/LocaleText.h"
#include "platform/Machine.h"
#include "platform/MainBundle.h"
#include "platform/NotificationCenter.h"
#include "platform/PowerSources.h"
#include "platform/PrivateFramework.h"
#include "platform/Process.h"
#include "platform/ProcessKernel.h"
#include "platform/Registry.h"
#include "platform/ServiceManagement.h"
#include "platform/SystemControl.h"
#include "platform/SystemState.h"
#include "platform/Time.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceEvents.h"
#include "platform/XpcConnection.h"

namespace norvane {

struct System {
    Machine machine;
    std::vector<std::string> arguments;  // the command line, without the program's name

    std::shared_ptr<const Registry> registry;
    std::shared_ptr<const KernelServices> kernel;
    std::shared_ptr<const SystemControl> controls;
    std::shared_ptr<const HostStatistics> host;
    std::shared_ptr<const PowerSources> powerSources;
    std::shared_ptr<const ProcessRunner> runner;
    std::shared_ptr<const Workspace> workspace;
    std::shared_ptr<const SystemState> state;
    std::shared_ptr<const LanguageModel> languageModel;
    std::shared_ptr<PrivateFramework> frameworks;
    std::shared_ptr<const MainBundle> bundle;
    std::shared_ptr<const CodeSigning> signing;
    std::shared_ptr<const ServiceManagement> services;
    std::shared_ptr<XpcConnector> xpc;
    std::shared_ptr<UserDefaults> defaults;
    // Implemented by the shell.
    std::shared_ptr<HotkeyRegistry> hotkeys;
    std::shared_ptr<const TintSource> tint;

    // The user's locale, time zone and calendar.
    DateFormatter formatter;
    LocaleText localeText;
    Calendar calendar;

    // The process table, as the agent watch reads it.
    std::shared_ptr<const ProcessKernel> processes;
    std::shared_ptr<NotificationCenter> notifications;
    // Blocks a background job for whole seconds (the charge limit's read-back).
    std::function<void(std::uint32_t seconds)> blockingWait;

    // The workspace's announcements (apps activated and terminated, sleep and wake).
    std::shared_ptr<WorkspaceEvents> workspaceEvents;
    // Where `--log-power` prints: standard output.
    std::shared_ptr<LineSink> console;
    // The user's Application Support and Caches folders; without the first the model keeps
    // no state files.
    std::optional<Path> applicationSupport;
    Path caches;
    // Implemented by the shell: the application's terminate request (an update's install
    // ends the app with it) and the save panel; without them nothing ends and nothing is saved.
    std::function<void()> terminate;
    std::shared_ptr<SavePanel> savePanel;

    // The simulated Mac of a machine folder for the program running from `bundle`, with
    // the user's defaults, locale and calendar.
    static System onMachine(Machine machine, std::vector<std::string> arguments, std::shared_ptr<const MainBundle> bundle,
                            std::shared_ptr<UserDefaults> defaults, std::shared_ptr<HotkeyRegistry> hotkeys,
                            std::shared_ptr<const TintSource> tint);
};

// What the helper's client uses of the system; `system` and `queue` must outlive the client.
HelperSystem helperSystem(const System& system, MainQueue& queue);

}  // namespace norvane
