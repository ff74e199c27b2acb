#include "platform/Workspace.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/ChildProcess.h"
#include "platform/FileLock.h"
#include "platform/Http.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "platform/WorkspaceEvents.h"

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

constexpr std::string_view runningFile = "workspace/running.json";
constexpr std::string_view processesFile = "top/processes.json";
constexpr std::string_view openedUrlsFile = "workspace/opened-urls.jsonl";
constexpr std::string_view selectedFile = "workspace/selected.jsonl";
constexpr std::string_view settingsScheme = "x-apple.systempreferences:";
constexpr std::string_view universalAccessFile = "Library/Preferences/com.apple.universalaccess.plist";

// One entry of workspace/running.json: {"bundle", "name", "policy", "active"}. An entry that
// is not an object, or names a policy there is none of, is left out; a member of the wrong
// kind counts as missing.
std::optional<Listed> listedApplication(const Value& entry) {
    if (!entry.isDictionary()) return std::nullopt;
    Listed listed;
    if (const Value* bundle = entry.find("bundle"); bundle && bundle->asString() && !bundle->asString()->empty())
        listed.application.bundlePath = *bundle->asString();
    if (const Value* name = entry.find("name"); name && name->asString())
        listed.application.localizedName = *name->asString();
    if (const Value* policy = entry.find("policy"); policy && policy->asString()) {
        const std::string& raw = *policy->asString();
        if (raw == "accessory") listed.application.policy = ActivationPolicy::accessory;
        else if (raw == "prohibited") listed.application.policy = ActivationPolicy::prohibited;
        else if (raw != "regular") return std::nullopt;
    }
    const Value* active = entry.find("active");
    listed.active = active && active->boolValue() == true;
    return listed;
}

std::vector<Listed> listedApplications(const Machine& machine) {
    const auto text = readFile(machine.file(runningFile));
    const auto value = text ? parseJson(*text) : std::nullopt;
    const auto* entries = value ? value->asArray() : nullptr;
    std::vector<Listed> out;
    if (!entries) return out;
    for (const auto& entry : *entries)
        if (auto listed = listedApplication(entry)) out.push_back(std::move(*listed));
    return out;
}

// Changes workspace/running.json under its lock: `edit` is given the entries and the first
// listed one that runs from the bundle, and says whether to write them back. False when
// no application runs from it or the file cannot be changed.
template <typename Edit>
bool changeRunning(const Machine& machine, std::string_view bundlePath, Edit edit) {
    if (bundlePath.empty()) return false;
    const Path file = machine.file(runningFile);
    const FileLock lock(file);
    if (!lock.held()) return false;
    const auto text = readFile(file);
    auto value = text ? parseJson(*text) : std::nullopt;
    auto* entries = value ? value->asArray() : nullptr;
    if (!entries) return false;
    const auto found = std::find_if(entries->begin(), entries->end(), [&](const Value& entry) {
        const auto listed = listedApplication(entry);
        return listed && listed->application.bundlePath == bundlePath;
    });
    if (found == entries->end()) return false;
    if (!edit(*entries, found)) return true;
    const auto json = writeJson(*value);
    return json && writeFileAtomically(file, *json);
}

// The processes of an app that ended end with it: `top` lists none of those whose executable
// lies inside its bundle any more.
void endProcesses(const Machine& machine, std::string_view bundlePath) {
    const Path file = machine.file(processesFile);
    const FileLock lock(file);
    const auto text = lock.held() ? readFile(file) : std::nullopt;
    auto value = text ? parseJson(*text) : std::nullopt;
    auto* entries = value ? value->asArray() : nullptr;
    if (!entries) return;
    const std::string inside = std::string(bundlePath) + "/";
    const auto ended = std::erase_if(*entries, [&](const Value& entry) {
        const Value* path = entry.find("path");
        return path && path->asString() && path->asString()->starts_with(inside);
    });
    if (ended == 0) return;
    if (const auto json = writeJson(*value)) writeFileAtomically(file, *json);
}

// Takes the app out of the running list and announces its end; one that asks to save its
// documents stays open unless the end is forced. False when none runs from the bundle.
bool endApplication(const Machine& machine, std::string_view bundlePath, bool force) {
    bool ended = false;
    const bool found =
        changeRunning(machine, bundlePath, [&ended, force](Value::Array& entries, Value::Array::iterator app) {
            const Value* quits = app->find("quits");
            if (!force && quits && quits->boolValue() == false) return false;
            entries.erase(app);
            return ended = true;
        });
    if (!ended || !found) return found;
    endProcesses(machine, bundlePath);
    // The workspace announces the end, as it does for any app that quits.
    appendWorkspaceEvent(machine, {WorkspaceEventKind::terminated, std::string(bundlePath)});
    return found;
}

// Appends one record, with the time, to a JSON-lines file of the folder.
bool note(const Machine& machine, std::string_view name, Value::Dictionary record) {
    record.emplace("time", Value::real(Date::now().seconds));
    const auto line = writeJson(Value::dictionary(std::move(record)));
    const Path file = machine.file(name);
    if (!line || !createDirectories(file.parent_path())) return false;
    const FileLock lock(file);
    return lock.held() && appendToFile(file, *line + "\n") != AppendResult::failed;
}

// A file URL with every byte but the unreserved ones and "/" escaped (a comma would split
// dbus-send's array).
std::string fileUrl(const Path& file) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out = "file://";
    for (const unsigned char c : file.string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
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

bool MachineWorkspace::terminate(std::string_view bundlePath) const {
    return endApplication(machine_, bundlePath, false);
}

bool MachineWorkspace::forceTerminate(std::string_view bundlePath) const {
    return endApplication(machine_, bundlePath, true);
}

bool MachineWorkspace::activate(std::string_view bundlePath) const {
    const bool found = changeRunning(machine_, bundlePath, [](Value::Array& entries, Value::Array::iterator app) {
        for (auto& entry : entries)
            if (auto* fields = entry.asDictionary()) fields->erase("active");
        (*app->asDictionary())["active"] = Value::boolean(true);
        return true;
    });
    if (found) appendWorkspaceEvent(machine_, {WorkspaceEventKind::activated, std::string(bundlePath)});
    return found;
}

bool MachineWorkspace::open(std::string_view url) const {
    if (url.starts_with(settingsScheme)) {
        Value::Dictionary record;
        record.emplace("url", Value::string(std::string(url)));
        return note(machine_, openedUrlsFile, std::move(record));
    }
    const auto colon = url.find(':');
    const std::string scheme = lowercased(url.substr(0, colon == std::string_view::npos ? 0 : colon));
    if ((scheme != "http" && scheme != "https") || !isUrl(url)) return false;
    // The link goes in as the script's $0, never read as script; the browser outlives the
    // request and is never ours to wait for.
    return ChildProcess::startDetached(machine_, "/bin/sh", {"-c", "exec /usr/bin/xdg-open \"$0\"", std::string(url)},
                                       ChildProcess::Output::discard)
        .has_value();
}

bool MachineWorkspace::selectFile(const Path& file) const {
    if (file.empty()) return false;
    Value::Dictionary record;
    record.emplace("path", Value::string(file.string()));
    if (!note(machine_, selectedFile, std::move(record))) return false;
    // The URL goes in as the script's $0, never read as script.
    return ChildProcess::startDetached(machine_, "/bin/sh",
                                       {"-c",
                                        "exec /usr/bin/dbus-send --session --type=method_call "
                                        "--dest=org.freedesktop.FileManager1 /org/freedesktop/FileManager1 "
                                        "org.freedesktop.FileManager1.ShowItems array:string:\"$0\" string:",
                                        fileUrl(file)},
                                       ChildProcess::Output::discard)
        .has_value();
}

bool MachineWorkspace::accessibilityDisplayShouldReduceMotion() const {
    const auto text = readFile(machine_.file(universalAccessFile));
    const auto preferences = text ? parsePropertyList(*text) : std::nullopt;
    const Value* entry = preferences ? preferences->find("reduceMotion") : nullptr;
    if (!entry) return false;
    // As the system reads a Boolean preference: a Boolean, or a number whose whole part is not 0.
    if (const auto on = entry->boolValue()) return *on;
    const auto number = entry->longLongValue();
    return number && *number != 0;
}

}  // namespace norvane
