#pragma once
// Service management: the application registers its launchd daemons (by the name of the
// property list inside its bundle) and its open-at-login item. The machine folder keeps the
// registrations in launchd/registrations.json; launchd starts a registered, enabled daemon
// when a client first connects to one of its Mach services (SocketXpc.h).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Machine.h"

namespace norvane {

enum class ServiceStatus { notRegistered, enabled, requiresApproval, notFound };

class AppService {
public:
    // Nothing, or the error's description.
    using Completion = std::function<void(std::optional<std::string> error)>;
    virtual ~AppService() = default;
    virtual ServiceStatus status() const = 0;
    virtual std::optional<std::string> registerService() = 0;
    virtual std::optional<std::string> unregisterService() = 0;
    // The same, off the caller's thread; `done` runs on another thread.
    virtual void unregisterService(Completion done) = 0;
};

class ServiceManagement {
public:
    virtual ~ServiceManagement() = default;
    // The launchd daemon of the property list Contents/Library/LaunchDaemons/<plistName>.
    virtual std::unique_ptr<AppService> daemon(std::string_view plistName) const = 0;
    // The application itself, opened at login.
    virtual std::unique_ptr<AppService> mainApp() const = 0;
    // Opens System Settings at its Login Items page, where the user allows a daemon.
    virtual void openSystemSettingsLoginItems() const = 0;
};

// The registrations of a machine folder, on behalf of the bundle at `bundle`.
class MachineServiceManagement final : public ServiceManagement {
public:
    MachineServiceManagement(Machine machine, Path bundle) : machine_(std::move(machine)), bundle_(std::move(bundle)) {}
    std::unique_ptr<AppService> daemon(std::string_view plistName) const override;
    std::unique_ptr<AppService> mainApp() const override;
    // The page is noted in the workspace's opened URLs.
    void openSystemSettingsLoginItems() const override;

private:
    Machine machine_;
    Path bundle_;
};

// A registered, enabled daemon's program as launchd starts it.
struct LaunchJob {
    std::string label;
    Path program;
};
// The enabled daemon that offers the Mach service `name`, from the registrations and the
// property lists in the registered bundles; absent when none does.
std::optional<LaunchJob> launchJobForMachService(const Machine& machine, std::string_view name);

}  // namespace norvane
