#pragma once
// The application's side of the privileged helper: whether it is registered and allowed,
// registering and unregistering it, and the two requests of its interface over XPC with a
// time-out and a repair by registering it again when it does not answer. All members are
// used on the main queue; answers come back there.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/CodeSigning.h"
#include "platform/MainBundle.h"
#include "platform/MainQueue.h"
#include "platform/Process.h"
#include "platform/ServiceManagement.h"
#include "platform/XpcConnection.h"
#include "shared/HelperProtocol.h"

namespace norvane {

namespace helper_state {
struct Unavailable {  // not run from an application bundle
    std::string reason;
    bool operator==(const Unavailable&) const = default;
};
struct Ready {  // registered and enabled
    bool operator==(const Ready&) const = default;
};
struct NeedsApproval {  // registered, to be allowed in the settings
    bool operator==(const NeedsApproval&) const = default;
};
struct NotInstalled {  // not registered, or its property list not found
    bool operator==(const NotInstalled&) const = default;
};
}  // namespace helper_state
using HelperState = std::variant<helper_state::Unavailable, helper_state::Ready, helper_state::NeedsApproval,
                                 helper_state::NotInstalled>;
inline bool isReady(const HelperState& state) { return std::holds_alternative<helper_state::Ready>(state); }

// Everything the client touches of the system. All must outlive the client.
struct HelperSystem {
    MainQueue& queue;
    const MainBundle& bundle;
    const CodeSigning& signing;
    const ServiceManagement& services;
    XpcConnector& xpc;
    const ProcessRunner& runner;                    // pmset -g
    std::function<void(std::string_view)> log;      // the system log
    std::vector<std::string> arguments;             // the command line
};

class Helper {
public:
    // Nothing when the change was made, else the reason it was not.
    using Result = std::optional<std::string>;
    using Done = std::function<void(Result)>;

    explicit Helper(HelperSystem system) : system_(std::move(system)) {}

    HelperState state();
    Result install();
    Result remove();
    void setLowPower(bool on, Done done);
    // The mode is passed on unchecked: the helper checks its range.
    void setPowerMode(std::int64_t mode, Done done);
    // Re-applies the energy mode that pmset -g shows, so that its answer tells whether the
    // installed helper can be reached and can run pmset. Sends nothing when no mode can be
    // read.
    void confirm(Done done);

    // The helper replied (its text), or no reply came (the reason).
    struct Replied {
        Result text;
    };
    struct Unreachable {
        std::string reason;
    };
    using Answer = std::variant<Replied, Unreachable>;
    // One request, given the remote object and the function its reply goes to.
    using Body = std::function<void(HelperProtocol& helper, HelperProtocol::Reply reply)>;

private:
    void call(const Body& body, std::function<void(Answer)> finish);
    void ask(Body body, Done done);
    void repair(Body body, std::string reason, Done done);
    void attempt(Body body, std::string reason, Done done, int registrations);
    void afterRepair(const Body& body, const std::string& reason, const Done& done);
    bool inBundle() const;
    AppService& service();

    HelperSystem system_;
    std::unique_ptr<AppService> service_;
    bool repaired_ = false;
};

// How long a call waits for the helper, between repair attempts, and how often it registers.
inline constexpr double helperTimeout = 4.0;
inline constexpr double repairWait = 0.5;
inline constexpr int repairRegistrations = 8;

}  // namespace norvane
