#include "helper/Helper.h"

#include <QCoreApplication>

#include "platform/CodeSigning.h"
#include "platform/Hardening.h"
#include "platform/ProcessTable.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
#include "platform/qt/QtMainQueue.h"
#include "shared/NorvaneShared.h"

namespace norvane::daemon {

void Helper::start() {
    system_.queue.post([this] { countDown(0); });
}

void Helper::countDown(std::int64_t number) {
    system_.queue.after(
        system_.idleSeconds, [this, number] { if (requests_.load() == number) system_.exit(0); }, ClockKind::uptime);
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
    system_.queue.post([this, number] { countDown(number); });
}

bool Helper::onBattery() const { return system_.power.providingSource() == batteryPower; }

int helperMain(int argc, char** argv, double idle) {
    hardenProcess();
    const auto machine = Machine::current();
    if (!machine) return 1;
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
    Helper helper({queue, runner, power, [](int status) { QCoreApplication::exit(status); }, idle});
    XpcListener listener(*machine, std::string(helperBundleID), signing);
    listener.setCodeSigningRequirement(signingRequirement(appBundleID, *team));
    listener.setDelegate([&helper](XpcListener::Connection& connection) {
        return helper.shouldAcceptNewConnection(connection);
    });
    listener.setRefusalLog([machine = *machine](std::int32_t pid, const std::string& reason) {
        systemLog(machine, "Norvane helper: refused " + processPath(pid) + " (pid " + std::to_string(pid) + "): " + reason);
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
