#include "helper/Helper.h"

#include <QCoreApplication>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include "platform/CodeSigning.h"
#include "platform/Files.h"
#include "platform/Hardening.h"
#include "platform/ProcessTable.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
#include "platform/qt/QtMainQueue.h"
#include "shared/NorvaneShared.h"

namespace norvane::daemon {

void Helper::start() {
    system_.queue.post([this] { countDown(0, system_.idleSeconds); });
}

void Helper::countDown(std::int64_t number, double seconds) {
    system_.queue.after(
        seconds,
        [this, number] {
            if (requests_.load() != number) return;
            if (system_.busy && system_.busy()) return countDown(number, busySeconds);
            system_.exit(0);
        },
        ClockKind::uptime);
}

bool Helper::shouldAcceptNewConnection(XpcListener::Connection& connection) {
    connection.exported = exportHelper(*this);
    return true;
}

void Helper::setLowPower(bool on, Reply reply) { run(pmsetArguments(on, onBattery()), reply); }

void Helper::setPowerMode(std::int64_t mode, Reply reply) {
    const auto arguments = pmsetArguments(mode, onBattery());
    if (!arguments) return reply("unknown energy mode " + std::to_string(mode));
    run(*arguments, reply);
}

void Helper::run(const std::vector<std::string>& arguments, const Reply& reply) {
    const std::int64_t number = ++requests_;
    const ProcessOutput result = system_.runner.run("/usr/bin/pmset", arguments, ErrorOutput::merge);
    if (!result.started) reply(result.error);
    else if (result.succeeded()) reply(std::nullopt);
    else reply(trimmedWhitespace(result.output));  // empty or not, a failure

    // Requests run on their connections' threads; the countdown runs on the main queue.
    system_.queue.post([this, number] { countDown(number, system_.idleSeconds); });
}

bool Helper::onBattery() const { return system_.power.providingSource() == batteryPower; }

namespace {

// A daemon's standard error goes nowhere. In the sanitizers' build, a report that ends the helper
// goes into the machine's log folder instead ("log/NorvaneHelper.<pid>"), so a helper that ends
// on one says why.
void keepSanitizerReports([[maybe_unused]] const Machine& machine) {
#if defined(__SANITIZE_ADDRESS__)
    static const std::string path = machine.file("log/NorvaneHelper").string();
    if (createDirectories(machine.file("log"))) __sanitizer_set_report_path(path.c_str());
#endif
}

}  // namespace

int helperMain(int argc, char** argv, double idle) {
    hardenProcess();
    const auto machine = Machine::current();
    if (!machine) return 1;
    keepSanitizerReports(*machine);
    const RecordCodeSigning signing(*machine);
    const auto team = ownTeamID(signing);
    if (!team) {
        systemLog(*machine, "Norvane helper: not signed by a developer team, refusing to run");
        return 1;
    }
    QCoreApplication application(argc, argv);
    QtMainQueue queue;
    const SystemProcessRunner runner(*machine);
    const MachinePowerSources power(*machine);
    XpcListener listener(*machine, std::string(helperBundleID), signing);
    Helper helper({queue, runner, power, [](int status) { QCoreApplication::exit(status); }, idle,
                   [&listener] { return listener.busy(); }});
    listener.setCodeSigningRequirement(signingRequirement(appBundleID, *team));
    listener.setDelegate([&helper](XpcListener::Connection& connection) {
        return helper.shouldAcceptNewConnection(connection);
    });
    listener.setEndLog([machine = *machine](const XpcListener::Ended& ended) {
        const std::string peer = (ended.pid > 0 ? processPath(ended.pid) + " " : std::string()) + "(pid " +
                                 std::to_string(ended.pid) + ")";
        systemLog(machine, ended.refused ? "Norvane helper: refused " + peer + ": " + ended.reason
                                         : "Norvane helper: ended the connection of " + peer + " unanswered: " + ended.reason);
    });
    if (const auto error = listener.resume()) {
        systemLog(*machine, "Norvane helper: " + *error);
        return 1;
    }
    // The helper lies in the app's bundle: looked through once, the digests of its unchanged
    // files are known, so the app's own checks hash nothing and are answered at once, even while
    // strangers' checks keep the hashing workers busy; a check that comes meanwhile waits for
    // this look's digests instead of hashing beside it. It runs once the helper listens: a
    // client gives a started helper 10 s to listen, and a bundle on a cold disk, built with the
    // sanitizers, may take about that long to hash.
    if (const auto own = signing.selfCode())
        queue.background(Priority::utility, [&signing, own = *own, requirement = signingRequirement(helperBundleID, *team)] {
            signing.checkValidity(own, requirement);
            return std::function<void()>();
        });
    helper.start();
    return QCoreApplication::exec();
}

}  // namespace norvane::daemon
