// Stands in for the application inside a signed bundle in the end-to-end tests: runs one
// action of the helper client on a real main queue and prints its outcome.
//
//   state | install | low-power on|off | power-mode N | confirm
//   raw-power-mode N   (asks the helper directly, requiring nothing of it)
//   wait MILLISECONDS  (does nothing that long)
//   after FILE ACTION…  (writes its pid to FILE.pid, waits until FILE is there, then does the
//                        action: a test changes the running process meanwhile)
//   closing-power-mode N   (asks the helper directly over a socket of its own, then ends its
//                           side of the stream before the reply: "answered" or "dropped")
//   flood              (connects to the helper again and again, five times a second, each
//                       time touching its bundle's helper first so that its digest is not kept,
//                       and waiting for the helper's word, until it is ended)

#include <QCoreApplication>
#include <QTimer>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/controls/Helper.h"
#include "platform/Hardening.h"
#include "platform/SocketXpc.h"
#include "platform/XpcSocket.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
#include "platform/qt/QtMainQueue.h"
#include "shared/NorvaneShared.h"

using namespace norvane;

namespace {

void print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string outcome(const Helper::Result& result) { return result ? "failed: " + *result : "ok"; }

}  // namespace

int main(int argc, char** argv) {
    hardenProcess();  // as the application does
    QCoreApplication application(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() > 2 && arguments[0] == "after") {
        const std::string go = arguments[1];
        const std::string pid = std::to_string(::getpid());
        if (!writeFileAtomically(go + ".pid", pid)) return 2;
        for (int i = 0; i < 6000 && ::access(go.c_str(), F_OK) != 0; ++i) ::usleep(10 * 1000);
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    const auto machine = Machine::current();
    if (!machine || arguments.empty()) return 2;
    QtMainQueue queue;
    const FolderBundle bundle = FolderBundle::running();
    const auto signing = std::make_shared<const RecordCodeSigning>(*machine);
    const MachineServiceManagement services(*machine, bundle.bundlePath());
    MachineXpcConnector xpc(*machine, signing);
    const SystemProcessRunner runner(*machine);
    Helper helper({queue, bundle, *signing, services, xpc, runner,
                   [&machine](std::string_view line) { systemLog(*machine, line); }, arguments});
    const auto finish = [](const std::string& line) {
        print(line);
        QCoreApplication::exit(0);
    };
    const std::string& action = arguments[0];
    const std::string value = arguments.size() > 1 ? arguments[1] : "";
    std::unique_ptr<XpcConnection> raw;
    std::unique_ptr<HelperProxy> proxy;
    if (action == "wait") {
        ::usleep(static_cast<useconds_t>(parseInt64(value).value_or(1) * 1000));
        return 0;
    }
    if (action == "flood") {
        const Path touched = bundle.bundlePath() / "Contents/MacOS/NorvaneHelper";
        for (;;) {
            ::utimensat(AT_FDCWD, touched.c_str(), nullptr, 0);
            const auto folder = SocketFolder::open(*machine);
            if (const int fd = folder ? connectToService(*folder, helperBundleID) : -1; fd >= 0) {
                readFrame(fd);
                ::close(fd);
            }
            ::usleep(200 * 1000);
        }
    }
    if (action == "closing-power-mode") {
        const auto folder = SocketFolder::open(*machine);
        const int fd = folder ? connectToService(*folder, helperBundleID) : -1;
        const auto ready = fd >= 0 ? readFrame(fd) : std::nullopt;
        Value::Dictionary request;
        request.emplace("selector", Value::string("setPowerMode:reply:"));
        request.emplace("argument", Value::integer(parseInt64(value).value_or(0)));
        const bool sent = ready && writeFrame(fd, framed(1, Value::dictionary(std::move(request))));
        ::shutdown(fd, SHUT_WR);
        print(sent && readFrame(fd) ? "answered" : "dropped");
        return 0;
    }
    if (action == "state") {
        const HelperState state = helper.state();
        if (const auto* unavailable = std::get_if<helper_state::Unavailable>(&state)) print("unavailable: " + unavailable->reason);
        else print(std::holds_alternative<helper_state::Ready>(state) ? "ready"
                   : std::holds_alternative<helper_state::NeedsApproval>(state) ? "needsApproval" : "notInstalled");
        return 0;
    } else if (action == "install") {
        print(outcome(helper.install()));
        return 0;
    } else if (action == "low-power") {
        helper.setLowPower(value == "on", [&](Helper::Result r) { finish(outcome(r)); });
    } else if (action == "power-mode") {
        helper.setPowerMode(parseInt64(value).value_or(0), [&](Helper::Result r) { finish(outcome(r)); });
    } else if (action == "confirm") {
        helper.confirm([&](Helper::Result r) { finish(outcome(r)); });
    } else if (action == "raw-power-mode") {
        raw = xpc.connectToMachService(helperBundleID);
        raw->resume();
        proxy = std::make_unique<HelperProxy>(*raw, [&queue, finish](const XpcError& error) {
            queue.post([finish, error] { finish("error: " + error.description); });
        });
        proxy->setPowerMode(parseInt64(value).value_or(0), [&queue, finish](std::optional<std::string> r) {
            queue.post([finish, r] { finish(outcome(r)); });
        });
    } else {
        return 2;
    }
    return QCoreApplication::exec();
}
