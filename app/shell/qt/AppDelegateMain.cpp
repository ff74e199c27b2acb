// The program's entry: the one-shot modes, and the menu-bar application with what the
// desktop asks of it (signals, a second start's hand-off, the workspace's announcements).

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/shell/Handoff.h"
#include "app/shell/InstanceService.h"
#include "app/shell/LaunchMode.h"
#include "app/shell/qt/AppDelegate.h"
#include "app/shell/qt/SaveDialog.h"
#include "app/shell/qt/WorkspaceTint.h"
#include "platform/SignalPipe.h"
#include "platform/SystemLog.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/x11/X11ClickMonitor.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Compositor.h"
#include "platform/x11/X11HotKeyCenter.h"
#include "shared/NorvaneShared.h"

namespace norvane {
namespace {

constexpr int reportWindowMilliseconds = 2000;
constexpr int eventsPollMilliseconds = 1000;  // when the workspace folder cannot be watched

// Qt's applications take the program's name only; the options are read from `arguments`.
int qtArgc = 1;
char qtName[] = "Norvane";
char* qtArgv[] = {qtName, nullptr};

// The model's system on the machine in use, for the program running from its bundle.
System applicationSystem(const Machine& machine, const std::vector<std::string>& arguments,
                         std::shared_ptr<HotkeyRegistry> hotkeys) {
    // A file of the user's in the way is told of in the system log.
    const FileLog log = [machine](std::string_view line) { systemLog(machine, line); };
    return System::onMachine(machine, arguments, std::make_shared<FolderBundle>(FolderBundle::running()),
                             std::make_shared<UserDefaults>(UserDefaults::fileFor(appBundleID), log),
                             std::move(hotkeys),
                             std::make_shared<WorkspaceTint>(
                                 std::make_shared<MachineWorkspace>(machine),
                                 PictureAverageCache(cachesFolder() / "Norvane" / "desktop-picture.json", log)));
}

std::optional<Machine> machineInUse() {
    auto machine = Machine::current();
    if (!machine) std::fprintf(stderr, "Norvane: no machine folder could be opened or created (see NORVANE_MACHINE)\n");
    return machine;
}

// Writes the report from a model of its own, on an event loop without windows: 0 when the
// page was written within 2 s, else 1 with the reason on standard error.
int writeBatteryReport(const std::vector<std::string>& arguments, const std::string& path) {
    const auto machine = machineInUse();
    if (!machine) return 1;
    QCoreApplication app(qtArgc, qtArgv);
    QtMainQueue queue;
    // No hot key is ever set here: a center without a display refuses them all.
    auto hotkeys = std::make_shared<Hotkeys>(std::make_shared<X11HotKeyCenter>(std::nullopt), queue);
    AppModel model(applicationSystem(*machine, arguments, hotkeys), queue);
    model.start();
    std::optional<std::optional<std::string>> outcome;  // set when the report task has run
    queue.post([&] {
        outcome = model.writeBatteryReport(path);
        app.quit();
    });
    QTimer::singleShot(reportWindowMilliseconds, &app, &QCoreApplication::quit);
    app.exec();
    if (!outcome) {
        std::fprintf(stderr, "Norvane: the battery report was not written within 2 seconds\n");
        return 1;
    }
    if (*outcome) {
        std::fprintf(stderr, "Norvane: the battery report could not be written to %s: %s\n", path.c_str(),
                     (*outcome)->c_str());
        return 1;
    }
    return 0;
}

// Hands the URLs to the instance listening at `path`: the exit status when one answered
// (or listens without answering), nothing when none listens.
std::optional<int> handOff(const Path& path, const std::vector<std::string>& urls) {
    const InstanceReply reply = askInstance(path, handoffRequest(OpenUrls{urls}), instanceAskSeconds);
    if (reply.status == InstanceReply::Status::noInstance) return std::nullopt;
    if (const auto problem = handoffProblem(reply, path)) {
        std::fprintf(stderr, "Norvane: %s\n", problem->c_str());
        return 1;
    }
    return 0;
}

// A compositor shows translucent windows: always under Wayland, on X11 when one runs.
bool compositing() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("wayland")) return true;
    if (platform != QLatin1String("xcb")) return false;
    return x11CompositorRunning(x11GrabDisplay(std::getenv("DISPLAY"), nullptr, nullptr));
}

// Presses anywhere on the desktop, where the windows are X11's.
std::shared_ptr<ClickMonitor> clickMonitor() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    // Our windows are those of Qt's connection to the display.
    std::vector<std::uint32_t> own;
    if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        if (const std::uint32_t base = x11ClientBase(x11->connection())) own.push_back(base);
    return X11ClickMonitor::forSession(std::move(own));
}

// What the event loop watches besides the windows: the signals of a logout or a kill,
// which end the application through its normal quit, and the workspace's announcements.
class Watches {
public:
    Watches(const std::shared_ptr<WorkspaceEvents>& events, MainQueue& queue)
        : signals_(SignalPipe::install({SIGTERM, SIGINT, SIGHUP})) {
        if (signals_) {
            signalNotifier_ = std::make_unique<QSocketNotifier>(signals_->fd(), QSocketNotifier::Read);
            QObject::connect(signalNotifier_.get(), &QSocketNotifier::activated, [this] {
                if (!signals_->take().empty()) QCoreApplication::quit();
            });
        } else {
            std::fprintf(stderr, "Norvane: signals cannot be caught; a logout ends keep-awake uncleanly\n");
        }
        auto* machineEvents = dynamic_cast<MachineWorkspaceEvents*>(events.get());
        if (!machineEvents) return;
        if (machineEvents->fd() >= 0) {
            eventsNotifier_ = std::make_unique<QSocketNotifier>(machineEvents->fd(), QSocketNotifier::Read);
            QObject::connect(eventsNotifier_.get(), &QSocketNotifier::activated,
                             [events] { static_cast<MachineWorkspaceEvents&>(*events).deliverPending(); });
        } else {
            eventsPoll_ = queue.every(eventsPollMilliseconds / 1000.0,
                                      [events] { static_cast<MachineWorkspaceEvents&>(*events).deliverPending(); });
        }
    }
    ~Watches() { eventsPoll_.cancel(); }

private:
    std::unique_ptr<SignalPipe> signals_;
    std::unique_ptr<QSocketNotifier> signalNotifier_;
    std::unique_ptr<QSocketNotifier> eventsNotifier_;
    Task eventsPoll_;
};

int runApplication(const std::vector<std::string>& arguments) {
    const auto urls = schemeUrls(arguments);
    const auto socket = instanceSocketPath();
    // A second start hands its URLs to the running application and ends.
    if (socket)
        if (const auto status = handOff(*socket, urls)) return *status;
    const auto machine = machineInUse();
    if (!machine) return 1;

    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    QApplication::setQuitOnLastWindowClosed(false);
    QtMainQueue queue;
    auto hotkeys = std::make_shared<Hotkeys>(std::shared_ptr<HotKeyCenter>(X11HotKeyCenter::forSession()), queue);
    System system = applicationSystem(*machine, arguments, hotkeys);
    system.terminate = [] { QCoreApplication::quit(); };
    system.savePanel = std::make_shared<SaveDialog>();
    const std::shared_ptr<WorkspaceEvents> events = system.workspaceEvents;
    AppDelegate delegate(std::move(system), queue, hotkeys, makeStatusItem(), compositing(), clickMonitor());

    std::unique_ptr<InstanceService> service;
    const auto listen = [&] {
        return InstanceService::listen(*socket, queue, [&](const Value& request) { return delegate.answer(request); });
    };
    if (socket) {
        auto listening = listen();
        if (auto* reason = std::get_if<std::string>(&listening)) {
            // Started at the same moment as another copy, which took the socket first.
            if (const auto status = handOff(*socket, urls)) return *status;
            std::fprintf(stderr, "Norvane: a second start cannot reach this one: %s\n", reason->c_str());
        } else {
            service = std::move(std::get<std::unique_ptr<InstanceService>>(listening));
            // A relaunch's new instance must become the application, not hand itself back.
            delegate.handOverSecondStarts({[&] { service.reset(); },
                                           [&] {
                                               auto again = listen();
                                               if (auto* ready = std::get_if<std::unique_ptr<InstanceService>>(&again))
                                                   service = std::move(*ready);
                                           }});
        }
    } else {
        std::fprintf(stderr, "Norvane: $XDG_RUNTIME_DIR is not set, so a second start cannot reach this one\n");
    }
    const Watches watches(events, queue);

    delegate.applicationDidFinishLaunching();
    delegate.application(urls);
    const int status = QApplication::exec();
    service.reset();  // no request reaches the model from here on
    delegate.applicationWillTerminate();
    return status;
}

}  // namespace

int AppDelegate::main(const std::vector<std::string>& arguments) {
    const LaunchMode mode = launchMode(arguments);
    if (const auto* guard = std::get_if<LidGuardMode>(&mode)) runLidGuard(guard->pid);
    if (const auto* report = std::get_if<BatteryReportMode>(&mode)) return writeBatteryReport(arguments, report->path);
    if (std::holds_alternative<UpdateCheckMode>(mode)) return printUpdateCheck(arguments);
    if (std::holds_alternative<AgentsMode>(mode)) return printAgents();
    return runApplication(arguments);
}

}  // namespace norvane
