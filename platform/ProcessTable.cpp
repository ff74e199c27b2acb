#include "platform/ProcessTable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cmath>
#include <string>
#include <unordered_map>

#include "platform/FileReading.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {

std::string processPath(std::int32_t pid) {
    if (pid <= 0) return {};
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char buffer[4096] = {};
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
    // A full buffer may hold a cut path; a path that cannot be given whole is unknown.
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
    std::string_view bytes(buffer, static_cast<std::size_t>(n));
    if (const auto zero = bytes.find('\0'); zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    return decodeUtf8Lossy(bytes);
}

bool inOwnNamespaces(std::int32_t pid) {
    if (pid <= 0) return false;
    for (const char* kind : {"user", "pid"}) {
        struct stat own {}, theirs {};
        const std::string path = "/proc/" + std::to_string(pid) + "/ns/" + kind;
        if (::stat(("/proc/self/ns/" + std::string(kind)).c_str(), &own) != 0 || ::stat(path.c_str(), &theirs) != 0 ||
            own.st_dev != theirs.st_dev || own.st_ino != theirs.st_ino)
            return false;
    }
    return true;
}

std::vector<MappedCode> parseMappedCode(std::string_view maps) {
    // address perms offset device inode [path]; the path is the rest of the line.
    std::vector<MappedCode> out;
    while (!maps.empty()) {
        const auto end = maps.find('\n');
        std::string_view line = maps.substr(0, end);
        maps.remove_prefix(end == std::string_view::npos ? maps.size() : end + 1);
        std::string_view fields[5];
        bool whole = true;
        for (auto& field : fields) {
            const auto start = line.find_first_not_of(' ');
            if (start == std::string_view::npos) {
                whole = false;
                break;
            }
            line.remove_prefix(start);
            const auto stop = std::min(line.find(' '), line.size());
            field = line.substr(0, stop);
            line.remove_prefix(stop);
        }
        const auto start = line.find_first_not_of(' ');
        if (!whole || start == std::string_view::npos || fields[1].size() < 3 || fields[1][2] != 'x') continue;
        const std::string_view path = line.substr(start);
        const auto inode = parseInt64(fields[4]);
        // Anonymous code and the kernel's own pages ([vdso]) name no file.
        if (path.front() != '/' || !inode) continue;
        out.push_back({std::string(path), static_cast<std::uint64_t>(*inode)});
    }
    return out;
}

std::optional<std::vector<MappedCode>> mappedCode(std::int32_t pid) {
    if (pid <= 0) return std::nullopt;
    const auto maps = readFile("/proc/" + std::to_string(pid) + "/maps");
    if (!maps) return std::nullopt;
    return parseMappedCode(*maps);
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
