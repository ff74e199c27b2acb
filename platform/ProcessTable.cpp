#include "platform/ProcessTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FileReading.h"
#include "platform/Files.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {

std::string procFile(std::int32_t pid, std::string_view name) {
    return "/proc/" + std::to_string(pid) + "/" + std::string(name);
}

namespace {

std::string linkedPath(const std::string& link) {
    char buffer[4096] = {};
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
    // A full buffer may hold a cut path; a path that cannot be given whole is unknown.
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
    std::string_view bytes(buffer, static_cast<std::size_t>(n));
    if (const auto zero = bytes.find('\0'); zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    return decodeUtf8Lossy(bytes);
}

}  // namespace

std::string processPath(std::int32_t pid) {
    if (pid <= 0) return {};
    return linkedPath(procFile(pid, "exe"));
}

std::string ownProcessPath() { return linkedPath("/proc/self/exe"); }

bool inOwnNamespaces(std::int32_t pid) {
    if (pid <= 0) return false;
    for (const char* kind : {"user", "pid"}) {
        struct stat own {}, theirs {};
        const std::string path = procFile(pid, std::string("ns/") + kind);
        if (::stat(("/proc/self/ns/" + std::string(kind)).c_str(), &own) != 0 || ::stat(path.c_str(), &theirs) != 0 ||
            own.st_dev != theirs.st_dev || own.st_ino != theirs.st_ino)
            return false;
    }
    return true;
}

std::optional<std::vector<MachineProcess>> parseMachineProcesses(std::string_view json) {
    const auto value = parseJson(json);
    if (!value || !value->isArray()) return std::nullopt;
    std::vector<MachineProcess> out;
    for (const Value& entry : *value->asArray()) {
        if (!entry.isDictionary()) return std::nullopt;
        MachineProcess process;
        const Value* pid = entry.find("pid");
        const Value* command = entry.find("command");
        if (!pid || !pid->isInteger() || !command || !command->isString()) return std::nullopt;
        const auto number = pid->integerValue();
        if (!number || *number < INT32_MIN || *number > INT32_MAX) return std::nullopt;
        process.pid = static_cast<std::int32_t>(*number);
        process.command = *command->asString();
        if (const Value* path = entry.find("path")) {
            if (!path->isString()) return std::nullopt;
            process.path = *path->asString();
        }
        if (const Value* power = entry.find("power")) {
            const auto figure = power->doubleValue();
            if (!power->isNumber() || !figure || !std::isfinite(*figure)) return std::nullopt;
            process.power = *figure;
        }
        out.push_back(std::move(process));
    }
    return out;
}

namespace {

// The paths top/processes.json gives by pid; the first entry of a pid wins, as a walk of the
// list would find it. Empty when the file is missing or not such a list.
using ListedPaths = std::unordered_map<std::int32_t, std::string>;

ListedPaths listedPaths(const FileBytes& file) {
    ListedPaths listed;
    if (const auto processes = file.bytes ? parseMachineProcesses(*file.bytes) : std::nullopt)
        for (const auto& process : *processes) listed.try_emplace(process.pid, process.path);
    return listed;
}

}  // namespace

std::function<std::string(std::int32_t)> machineProcessPaths(const Machine& machine) {
    static const FileReading<ListedPaths> reading(&listedPaths);
    return [listed = reading(machine.path("top/processes.json"))](std::int32_t pid) {
        if (const auto found = listed->find(pid); found != listed->end()) return found->second;
        return processPath(pid);
    };
}

std::string machineProcessPath(const Machine& machine, std::int32_t pid) { return machineProcessPaths(machine)(pid); }

}  // namespace norvane
