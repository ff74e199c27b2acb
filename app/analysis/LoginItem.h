#pragma once
// Opening the app at login, through service management's registration of the app itself.
// Only an application bundle can be registered.

#include <optional>
#include <string>

#include "platform/MainBundle.h"
#include "platform/ServiceManagement.h"

namespace norvane {

struct LoginItem {
    // True only for an application bundle whose login item is enabled (not one that waits
    // for the user's approval).
    static bool enabled(const MainBundle& bundle, const ServiceManagement& services);
    // Registers or unregisters the app; nothing on success, else a message for the user.
    static std::optional<std::string> set(const MainBundle& bundle, const ServiceManagement& services, bool on);
};

}  // namespace norvane
