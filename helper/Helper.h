#pragma once
// The privileged helper: switches Low Power and the energy mode with pmset for the power
// source in use, for the application signed by the same team, and quits a while after its
// last request (launchd starts it again at the next connection).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/MainQueue.h"
#include "platform/PowerSources.h"
#include "platform/Process.h"
#include "platform/XpcListener.h"
#include "shared/HelperProtocol.h"

namespace norvane::daemon {

// How long the helper stays after its start and after the last request that ran pmset.
inline constexpr double idleSeconds = 20.0;
// How often a helper due to quit looks again while a connection is open.
inline constexpr double busySeconds = 1.0;

class Helper final : public HelperProtocol {
public:
    struct System {
        MainQueue& queue;
        const ProcessRunner& runner;
        const PowerSources& power;
        std::function<void(int status)> exit;  // run on the main queue
        double idleSeconds = daemon::idleSeconds;
        // Whether a connection is open (being checked, asking, or waiting to be accepted): one
        // may carry a request, so the helper does not quit then. None: never.
        std::function<bool()> busy = {};
    };
    explicit Helper(System system) : system_(std::move(system)) {}

    // Starts the quit countdown: a helper that is never asked anything quits too.
    void start();
    // Every connection that the listener lets through is served.
    bool shouldAcceptNewConnection(XpcListener::Connection& connection);
    void setLowPower(bool on, Reply reply) override;
    // A mode outside 0…2 is refused at once: no pmset, and the quit countdown goes on.
    void setPowerMode(std::int64_t mode, Reply reply) override;

    // Requests that ran (or tried to run) pmset since the start.
    std::int64_t requests() const { return requests_.load(); }

private:
    void run(const std::vector<std::string>& arguments, const Reply& reply);
    // Quits after `seconds` unless a request ran pmset meanwhile, and once no connection is
    // open; on the main queue.
    void countDown(std::int64_t number, double seconds);
    bool onBattery() const;

    System system_;
    std::atomic<std::int64_t> requests_{0};
};

// The program: refuses to run without a developer team (status 1), else listens on the
// helper's Mach service for the same team's application until it quits (status 0).
int helperMain(int argc, char** argv, double idle = idleSeconds);

}  // namespace norvane::daemon
