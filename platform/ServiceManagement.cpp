#include "platform/ServiceManagement.h"

#include <signal.h>

#include <thread>

#include "platform/FileLock.h"
#include "platform/PropertyList.h"
#include "platform/Workspace.h"
#include "platform/XpcSocket.h"

namespace norvane {
namespace {

constexpr std::string_view registrationsFile = "launchd/registrations.json";

std::optional<Value> readRegistrations(const Machine& machine) {
    return readJsonObject(machine.file(registrationsFile));
}

const Value* member(const Value& object, std::string_view first, std::string_view second) {
    const Value* group = object.find(first);
    return group ? group->find(second) : nullptr;
}

std::optional<Value> daemonPlist(const Path& bundle, std::string_view plistName) {
    const auto text = readFile(bundle / "Contents/Library/LaunchDaemons" / Path(plistName));
    auto plist = text ? parsePropertyList(*text) : std::nullopt;
    if (!plist || !plist->isDictionary()) return std::nullopt;
    return plist;
}

// One registration: `group` ("daemons" or "loginItems") and its key.
class MachineAppService final : public AppService {
public:
    MachineAppService(Machine machine, Path bundle, std::string group, std::string key)
        : machine_(std::move(machine)), bundle_(std::move(bundle)), group_(std::move(group)), key_(std::move(key)) {}

    ServiceStatus status() const override {
        if (!present()) return ServiceStatus::notFound;
        const auto all = readRegistrations(machine_);
        const Value* record = all ? member(*all, group_, key_) : nullptr;
        const Value* status = record ? record->find("status") : nullptr;
        if (!status || !status->isString()) return ServiceStatus::notRegistered;
        if (*status->asString() == "enabled") return ServiceStatus::enabled;
        if (*status->asString() == "requiresApproval") return ServiceStatus::requiresApproval;
        return ServiceStatus::notRegistered;
    }

    std::optional<std::string> registerService() override {
        return change("register", [this](const Value& all, Value::Dictionary& group) -> Outcome {
            if (!present()) return {false, "The service's property list is not in the app's bundle."};
            const Value* old = find(group, key_);
            const bool approved = old && old->find("status") && *old->find("status") == Value::string("enabled");
            const Value* policy = all.find("approvalRequired");
            const bool needsApproval = !approved && policy && policy->boolValue().value_or(false);
            Value::Dictionary record;
            record.emplace("bundle", Value::string(bundle_.string()));
            record.emplace("status", Value::string(needsApproval ? "requiresApproval" : "enabled"));
            group[key_] = Value::dictionary(std::move(record));
            // Registered all the same: the user allows it later in the settings.
            if (needsApproval) return {true, "Operation not permitted"};
            return {true, std::nullopt};
        });
    }

    std::optional<std::string> unregisterService() override {
        std::optional<Value> plist;
        auto error = change("unregister", [this, &plist](const Value&, Value::Dictionary& group) -> Outcome {
            const auto found = group.find(key_);
            if (found == group.end()) return {false, "The service is not registered."};
            if (const Value* bundle = found->second.find("bundle"); bundle && bundle->isString())
                plist = daemonPlist(Path(*bundle->asString()), key_);
            group.erase(found);
            return {true, std::nullopt};
        });
        // launchd ends a daemon that is taken out of its domain.
        if (!error && plist && group_ == "daemons") stopServing(*plist);
        return error;
    }

    void unregisterService(Completion done) override {
        std::thread([service = MachineAppService(*this), done = std::move(done)]() mutable {
            done(service.unregisterService());
        }).detach();
    }

private:
    bool present() const {
        if (group_ == "daemons") return fileExists(bundle_ / "Contents/Library/LaunchDaemons" / Path(key_));
        return bundle_.filename().string().ends_with(".app");
    }

    // Whether to write the registrations back, and the error to report.
    struct Outcome {
        bool write;
        std::optional<std::string> error;
    };

    template <typename Edit>
    std::optional<std::string> change(std::string_view operation, Edit edit) {
        const Path file = machine_.file(registrationsFile);
        const std::string unwritable = "The registrations cannot be written.";
        if (!createDirectories(file.parent_path())) return unwritable;
        const FileLock lock(file);
        if (!lock.held()) return unwritable;
        auto all = readRegistrations(machine_);
        if (!all) return "The registrations cannot be read.";
        if (const Value* fault = member(*all, "faults", operation); fault && fault->isString()) return *fault->asString();
        Value& group = (*all->asDictionary())[group_];
        if (!group.isDictionary()) group = Value::dictionary({});
        const Outcome outcome = edit(*all, *group.asDictionary());
        if (outcome.write) {
            const auto text = writeJson(*all);
            if (!text || !writeFileAtomically(file, *text)) return unwritable;
        }
        return outcome.error;
    }

    void stopServing(const Value& plist) const {
        const Value* services = plist.find("MachServices");
        if (!services || !services->isDictionary()) return;
        for (const auto& [name, offered] : *services->asDictionary())
            if (const auto pid = machServiceListener(machine_, name)) ::kill(*pid, SIGTERM);
    }

    Machine machine_;
    Path bundle_;
    std::string group_, key_;
};

}  // namespace

std::unique_ptr<AppService> MachineServiceManagement::daemon(std::string_view plistName) const {
    return std::make_unique<MachineAppService>(machine_, bundle_, "daemons", std::string(plistName));
}

std::unique_ptr<AppService> MachineServiceManagement::mainApp() const {
    return std::make_unique<MachineAppService>(machine_, bundle_, "loginItems", bundle_.string());
}

std::optional<LaunchJob> launchJobForMachService(const Machine& machine, std::string_view name) {
    const auto all = readRegistrations(machine);
    const Value* daemons = all ? all->find("daemons") : nullptr;
    if (!daemons || !daemons->isDictionary()) return std::nullopt;
    for (const auto& [plistName, record] : *daemons->asDictionary()) {
        const Value* status = record.find("status");
        const Value* bundle = record.find("bundle");
        if (!status || *status != Value::string("enabled") || !bundle || !bundle->isString()) continue;
        const auto plist = daemonPlist(Path(*bundle->asString()), plistName);
        if (!plist) continue;
        const Value* label = plist->find("Label");
        const Value* program = plist->find("BundleProgram");
        const Value* offered = member(*plist, "MachServices", name);
        if (!label || !label->isString() || !program || !program->isString() || !offered ||
            !offered->boolValue().value_or(false))
            continue;
        // A program path that leaves the bundle is not the bundle's program.
        const Path relative = Path(*program->asString()).lexically_normal();
        if (relative.is_absolute() || relative.empty() || *relative.begin() == "..") continue;
        return LaunchJob{*label->asString(), Path(*bundle->asString()) / relative};
    }
    return std::nullopt;
}

void MachineServiceManagement::openSystemSettingsLoginItems() const {
    MachineWorkspace(machine_).open("x-apple.systempreferences:com.apple.LoginItems-Settings.extension");
}

}  // namespace norvane
