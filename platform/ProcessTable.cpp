#include "platform/ProcessTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

namespace {

// The next line of the text, taken out of it.
std::string_view nextLine(std::string_view& text) {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

// The next field of a line parted by spaces, taken out of it; empty at its end.
std::string_view nextField(std::string_view& line) {
    const auto start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const auto stop = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, stop);
    line.remove_prefix(stop);
    return field;
}

// A file of /proc/<pid>/, read whole up to `limit` bytes; absent when it cannot be read or
// holds more. Its size says nothing: the kernel makes the text as it is read.
std::optional<std::string> readProcessFile(std::int32_t pid, const char* name, std::size_t limit) {
    if (pid <= 0) return std::nullopt;
    const std::string path = "/proc/" + std::to_string(pid) + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string out;
    char buffer[65536];
    ssize_t n = 0;
    while (out.size() <= limit && ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)))
        if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    if (n != 0 || out.size() > limit) return std::nullopt;
    return out;
}

}  // namespace

std::vector<MappedCode> parseMappedCode(std::string_view smaps) {
    // A mapping's line: address perms offset device inode [name], the name being the rest of
    // the line; in smaps, lines of "Field: value kB" follow it.
    std::vector<MappedCode> out;
    bool executable = false;
    while (!smaps.empty()) {
        std::string_view line = nextLine(smaps);
        const std::string_view first = nextField(line);
        if (first.ends_with(':')) {
            if (!executable || (first != "Anonymous:" && first != "Swap:")) continue;
            if (const auto kib = parseUInt64(nextField(line))) out.back().writtenKiB += *kib;
            continue;
        }
        executable = false;
        std::string_view fields[4];
        for (auto& field : fields) field = nextField(line);
        const auto inode = parseUInt64(fields[3]);
        if (first.find('-') == std::string_view::npos || fields[0].size() < 3 || !inode) continue;
        if (fields[0][2] != 'x') continue;
        const auto start = line.find_first_not_of(' ');
        const std::string_view name = start == std::string_view::npos ? std::string_view() : line.substr(start);
        out.push_back({std::string(name), *inode, 0});
        executable = true;
    }
    return out;
}

std::optional<std::vector<MappedCode>> mappedCode(std::int32_t pid) {
    const auto smaps = readProcessFile(pid, "smaps", maximumMapBytes);
    if (!smaps) return std::nullopt;
    return parseMappedCode(*smaps);
}

std::optional<std::int32_t> parseTracer(std::string_view status) {
    while (!status.empty()) {
        std::string_view line = nextLine(status);
        if (!line.starts_with("TracerPid:")) continue;
        line.remove_prefix(10);
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        const auto pid = parseInt32(line);
        if (!pid || *pid < 0) return std::nullopt;
        return *pid;
    }
    return std::nullopt;
}

std::optional<std::int32_t> processTracer(std::int32_t pid) {
    const auto status = readProcessFile(pid, "status", 65536);
    return status ? parseTracer(*status) : std::nullopt;
}

std::vector<std::string> parseEnvironmentNames(std::string_view environ) {
    std::vector<std::string> names;
    while (!environ.empty()) {
        const auto end = environ.find('\0');
        const std::string_view entry = environ.substr(0, end);
        environ.remove_prefix(end == std::string_view::npos ? environ.size() : end + 1);
        if (entry.empty()) continue;
        // An entry without "=" is no variable to the loader either, but still named.
        names.emplace_back(entry.substr(0, entry.find('=')));
    }
    return names;
}

std::optional<std::vector<std::string>> processEnvironmentNames(std::int32_t pid) {
    const auto environ = readProcessFile(pid, "environ", maximumEnvironmentBytes);
    if (!environ) return std::nullopt;
    return parseEnvironmentNames(*environ);
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
