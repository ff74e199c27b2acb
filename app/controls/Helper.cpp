#include "app/controls/Helper.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "app/controls/EnergyMode.h"
#include "platform/CommandLine.h"
#include "platform/Text.h"
#include "shared/NorvaneShared.h"

namespace norvane {
namespace {

constexpr std::string_view notInBundle =
    "Low Power switching works only in the built app (build/Norvane.app), not in a program run straight "
    "from the build folder";
constexpr std::string_view unsignedCopy = "this copy of Norvane is not signed by a developer certificate";
constexpr std::string_view noAnswer = "the helper did not start";
constexpr std::string_view forcedRepair = "asked to repair";
constexpr std::string_view modeUnknown = "the energy mode could not be read";
constexpr std::string_view refusedCopy = "the helper refused this copy of Norvane: ";

// Of the reply, the connection's error and the time-out, only the first goes on; the
// others find nothing left to resume. The handlers that may come late hold it weakly: the
// time-out keeps it until it runs.
class FirstAnswer {
public:
    FirstAnswer(MainQueue& queue, std::function<void(Helper::Answer)> continuation)
        : queue_(queue), continuation_(std::move(continuation)) {}
    void operator()(Helper::Answer answer) {
        std::function<void(Helper::Answer)> taken;
        {
            const std::lock_guard lock(mutex_);
            taken = std::exchange(continuation_, nullptr);
        }
        if (taken) queue_.post([taken = std::move(taken), answer = std::move(answer)] { taken(answer); });
    }

private:
    MainQueue& queue_;
    std::mutex mutex_;
    std::function<void(Helper::Answer)> continuation_;
};

template <typename Answer>
std::function<void(Answer)> weakly(const std::shared_ptr<FirstAnswer>& first,
                                   std::function<Helper::Answer(Answer)> wrap) {
    return [weak = std::weak_ptr(first), wrap = std::move(wrap)](Answer answer) {
        if (const auto box = weak.lock()) (*box)(wrap(std::move(answer)));
    };
}

}  // namespace

bool Helper::inBundle() const { return system_.bundle.isApplication(); }

AppService& Helper::service() {
    if (!service_) service_ = system_.services.daemon(helperPlist);
    return *service_;
}

HelperState Helper::state() {
    if (!inBundle()) return helper_state::Unavailable{std::string(notInBundle)};
    switch (service().status()) {
    case ServiceStatus::enabled: return helper_state::Ready{};
    case ServiceStatus::requiresApproval: return helper_state::NeedsApproval{};
    case ServiceStatus::notRegistered:
    case ServiceStatus::notFound: break;
    }
    return helper_state::NotInstalled{};
}

Helper::Result Helper::install() { return service().registerService(); }

Helper::Result Helper::remove() { return service().unregisterService(); }

void Helper::setLowPower(bool on, Done done) {
    ask([on](HelperProtocol& helper, HelperProtocol::Reply reply) { helper.setLowPower(on, std::move(reply)); },
        std::move(done));
}

void Helper::setPowerMode(std::int64_t mode, Done done) {
    ask([mode](HelperProtocol& helper, HelperProtocol::Reply reply) { helper.setPowerMode(mode, std::move(reply)); },
        std::move(done));
}

void Helper::call(const Body& body, std::function<void(Answer)> finish) {
    const auto team = ownTeamID(system_.signing);
    if (!team) return finish(Replied{std::string(unsignedCopy)});
    std::shared_ptr<XpcConnection> connection = system_.xpc.connectToMachService(helperBundleID);
    connection->setCodeSigningRequirement(signingRequirement(helperBundleID, *team));
    connection->resume();
    // A new connection for every call, ended when the call is answered.
    const auto first = std::make_shared<FirstAnswer>(system_.queue, [connection, finish = std::move(finish)](Answer answer) {
        connection->invalidate();
        finish(std::move(answer));
    });
    // A helper that answers but refused this process: a failure of the helper, which no repair
    // mends (registering it again starts the same helper, which refuses the same way).
    HelperProxy proxy(*connection, weakly<const XpcError&>(first, [log = system_.log](const XpcError& error) -> Answer {
                          if (!error.refusal) return Unreachable{error.description};
                          log("Norvane: the helper refused this copy of Norvane: " + *error.refusal);
                          return Replied{std::string(refusedCopy) + *error.refusal};
                      }));
    body(proxy, weakly<Result>(first, [](Result text) -> Answer { return Replied{std::move(text)}; }));
    system_.queue.after(helperTimeout, [first] { (*first)(Unreachable{std::string(noAnswer)}); });
}

void Helper::ask(Body body, Done done) {
    if (!repaired_ && hasArgument(system_.arguments, "--repair-helper"))
        return repair(std::move(body), std::string(forcedRepair), std::move(done));
    call(body, [this, body, done = std::move(done)](Answer answer) mutable {
        if (const auto* replied = std::get_if<Replied>(&answer)) return done(replied->text);
        repair(std::move(body), std::get<Unreachable>(answer).reason, std::move(done));
    });
}

void Helper::repair(Body body, std::string reason, Done done) {
    repaired_ = true;
    system_.log("Norvane: the helper did not answer (" + reason + "), registering it again");
    // An unregistration that fails changes nothing here: registering follows all the same.
    service().unregisterService([this, body = std::move(body), reason = std::move(reason),
                                 done = std::move(done)](std::optional<std::string>) mutable {
        system_.queue.post([this, body = std::move(body), reason = std::move(reason), done = std::move(done)]() mutable {
            attempt(std::move(body), std::move(reason), std::move(done), 0);
        });
    });
}

void Helper::attempt(Body body, std::string reason, Done done, int registrations) {
    system_.queue.after(
        repairWait,
        [this, body = std::move(body), reason = std::move(reason), done = std::move(done), registrations]() mutable {
            if (inBundle() && service().status() == ServiceStatus::enabled) return afterRepair(body, reason, done);
            if (const auto error = service().registerService())
                system_.log("Norvane: registering the helper failed: " + *error);
            if (registrations + 1 >= repairRegistrations) return afterRepair(body, reason, done);
            attempt(std::move(body), std::move(reason), std::move(done), registrations + 1);
        },
        ClockKind::continuous);
}

void Helper::afterRepair(const Body& body, const std::string& reason, const Done& done) {
    if (!std::holds_alternative<helper_state::Ready>(state())) return done(reason);
    // Whatever the second call gives stands: no second repair.
    call(body, [done](Answer answer) {
        if (const auto* replied = std::get_if<Replied>(&answer)) return done(replied->text);
        done(std::get<Unreachable>(answer).reason);
    });
}

void Helper::confirm(Done done) {
    system_.queue.background(Priority::utility, [this, &runner = system_.runner, done = std::move(done)]() mutable {
        std::string output = pmset(runner, {"-g"});
        return std::function<void()>([this, output = std::move(output), done = std::move(done)]() mutable {
            const auto mode = parsePowerMode(output);
            bool powermodeLine = false, lowPowerOff = false;
            for (const auto line : splitNonEmpty(output, '\n')) {
                const auto words = splitNonEmpty(line, ' ');
                powermodeLine = powermodeLine || (!words.empty() && words[0] == "powermode");
                lowPowerOff = lowPowerOff || (words.size() >= 2 && words[0] == "lowpowermode" && words[1] == "0");
            }
            // Without a mode read, re-applying one would switch the user's setting.
            if (powermodeLine && mode) return setPowerMode(*mode, std::move(done));
            if (!powermodeLine && (mode == 1 || lowPowerOff)) return setLowPower(mode == 1, std::move(done));
            done(std::string(modeUnknown));
        });
    });
}

}  // namespace norvane
