#pragma once
// The state of one permission that the tour asks for, and the four operations that find
// out and change the two permissions (notifications and the energy-mode helper). Every
// operation runs on the main queue and answers there, later or at once, exactly once.

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "app/model/System.h"
#include "platform/MainQueue.h"

namespace norvane {

namespace access_state {
struct Failed {  // in place, but checking that it works failed
    std::string text;
    bool operator==(const Failed&) const = default;
};
struct Unavailable {  // cannot be had in this copy of the app
    std::string reason;
    bool operator==(const Unavailable&) const = default;
};
struct Checking {  // not known yet
    bool operator==(const Checking&) const = default;
};
struct NotAsked {  // the app can ask
    bool operator==(const NotAsked&) const = default;
};
struct NeedsSettings {  // only the user can change it, in System Settings
    bool operator==(const NeedsSettings&) const = default;
};
struct Granted {
    bool operator==(const Granted&) const = default;
};
}  // namespace access_state
using Access = std::variant<access_state::Failed, access_state::Unavailable, access_state::Checking,
                            access_state::NotAsked, access_state::NeedsSettings, access_state::Granted>;

template <class State>
bool is(const Access& access) {
    return std::holds_alternative<State>(access);
}

struct AccessProbe {
    using Answer = std::function<void(Access)>;

    std::function<void(Answer)> notifications;                         // the notification permission
    std::function<void(std::function<void()> done)> askNotifications;  // asks the user once
    std::function<void(Answer)> helper;                                // the energy-mode helper
    std::function<void()> installHelper;                               // starts its installation

    // Asks the system. `system` and `queue` must outlive every answer; each call makes a new
    // probe with its own memory of the helper's last confirmation.
    static AccessProbe live(std::shared_ptr<const System> system, MainQueue& queue);
    // Asks nothing and installs nothing: a permission is granted once more than 6 s have
    // passed since it was asked for, and waits for the user until then.
    static AccessProbe rehearsal(MainQueue& queue);

    static constexpr double rehearsalWait = 6.0;
};

}  // namespace norvane
