#include "platform/Workspace.h"

#include <cmath>

#include "platform/PropertyList.h"

namespace norvane {
namespace {

std::optional<Value> desktopSettings(const Machine& machine) {
    const auto text = readFile(machine.file("workspace/desktop.json"));
    if (!text) return std::nullopt;
    return parseJson(*text);
}

struct Listed {
    RunningApplication application;
    bool active = false;
};

// workspace/running.json: an array of {"bundle", "name", "policy", "active"}. Entries that
// are not objects, or name a policy there is none of, are left out; a member of the wrong
// kind counts as missing.
std::vector<Listed> listedApplications(const Machine& machine) {
    const auto text = readFile(machine.file("workspace/running.json"));
    const auto value = text ? parseJson(*text) : std::nullopt;
    const auto* entries = value ? value->asArray() : nullptr;
    std::vector<Listed> out;
    if (!entries) return out;
    for (const auto& entry : *entries) {
        if (!entry.isDictionary()) continue;
        Listed listed;
        if (const Value* bundle = entry.find("bundle"); bundle && bundle->asString() && !bundle->asString()->empty())
            listed.application.bundlePath = *bundle->asString();
        if (const Value* name = entry.find("name"); name && name->asString())
            listed.application.localizedName = *name->asString();
        if (const Value* policy = entry.find("policy"); policy && policy->asString()) {
            const std::string& raw = *policy->asString();
            if (raw == "accessory") listed.application.policy = ActivationPolicy::accessory;
            else if (raw == "prohibited") listed.application.policy = ActivationPolicy::prohibited;
            else if (raw != "regular") continue;
        }
        const Value* active = entry.find("active");
        listed.active = active && active->boolValue() == true;
        out.push_back(std::move(listed));
    }
    return out;
}

}  // namespace

Path MachineWorkspace::resolve(std::string_view macPath) const {
    if (macPath.empty()) return {};
    if (macPath.front() != '/') return machine_.file(macPath);
    const Path inside = machine_.root() / Path(macPath.substr(1));
    return fileExists(inside) ? inside : Path(macPath);
}

std::optional<Path> MachineWorkspace::desktopPicture() const {
    const auto settings = desktopSettings(machine_);
    if (!settings) return std::nullopt;
    const Value* screens = settings->find("screens");
    const auto* list = screens ? screens->asArray() : nullptr;
    if (!list || list->empty()) return std::nullopt;  // no screen, so no main screen
    const Value* picture = list->front().find("desktopPicture");
    const std::string* path = picture ? picture->asString() : nullptr;
    if (!path || path->empty()) return std::nullopt;
    return resolve(*path);
}

std::optional<Color> MachineWorkspace::accentColor() const {
    const auto settings = desktopSettings(machine_);
    if (!settings) return std::nullopt;
    const Value* accent = settings->find("accentColor");
    const auto* parts = accent ? accent->asArray() : nullptr;
    if (!parts || parts->size() != 3) return std::nullopt;
    double rgb[3];
    for (std::size_t i = 0; i < 3; ++i) {
        const auto component = (*parts)[i].doubleValue();
        if (!component || !std::isfinite(*component) || *component < 0 || *component > 1) return std::nullopt;
        rgb[i] = *component;
    }
    return Color{rgb[0], rgb[1], rgb[2], 1};
}

std::optional<Path> MachineWorkspace::iconFile(std::string_view path) const {
    if (path.empty()) return std::nullopt;
    const Path bundle = resolve(path);
    const auto info = readFile(bundle / "Contents/Info.plist");
    if (!info) return std::nullopt;
    const auto plist = parsePropertyList(*info);
    const Value* icon = plist ? plist->find("CFBundleIconFile") : nullptr;
    const std::string* name = icon ? icon->asString() : nullptr;
    // The name is of a file in the bundle's resources, never a path leading out of them.
    if (!name || name->empty() || name->find('/') != std::string::npos || *name == "." || *name == "..")
        return std::nullopt;
    Path file = bundle / "Contents/Resources" / *name;
    if (!file.has_extension()) file += ".png";
    if (!fileExists(file)) return std::nullopt;
    return file;
}

std::optional<Path> MachineWorkspace::urlForApplication(std::string_view bundleIdentifier) const {
    std::error_code error;
    for (std::filesystem::directory_iterator it(machine_.file("Applications"), error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() != ".app") continue;
        const auto text = readFile(it->path() / "Contents/Info.plist");
        const auto info = text ? parsePropertyList(*text) : std::nullopt;
        const Value* identifier = info ? info->find("CFBundleIdentifier") : nullptr;
        if (identifier && identifier->asString() && *identifier->asString() == bundleIdentifier) return it->path();
    }
    return std::nullopt;
}

std::vector<RunningApplication> MachineWorkspace::runningApplications() const {
    std::vector<RunningApplication> out;
    for (auto& listed : listedApplications(machine_)) out.push_back(std::move(listed.application));
    return out;
}

std::optional<RunningApplication> MachineWorkspace::frontmostApplication() const {
    for (auto& listed : listedApplications(machine_))
        if (listed.active) return std::move(listed.application);
    return std::nullopt;
}

}  // namespace norvane
