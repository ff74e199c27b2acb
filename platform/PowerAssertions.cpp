#include "platform/PowerAssertions.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <string>

#include "platform/FileLock.h"
#include "platform/FileReading.h"
#include "platform/ProcessKernel.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view idKey = "AssertionId";
// The creator's start, its PID namespace and the file it holds locked while it lives: ours alone.
constexpr std::string_view startKey = "ProcessStartTime";
constexpr std::string_view namespaceKey = "ProcessNamespace";
constexpr std::string_view holderKey = "ProcessHolder";

Path assertionsFile(const Machine& machine) { return machine.file("power/assertions.json"); }
Path holdersFolder(const Machine& machine) { return machine.file("power/holders"); }

// A holder file's name: hexadecimal digits alone, so no entry can name a path elsewhere.
bool isHolderName(std::string_view name) {
    return name.size() == 16 && name.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// Whether the process that holds the named file locked still lives: its shared lock shuts out
// ours. The lock goes with the process, whatever PID namespace it lives in.
bool holderAlive(const Path& folder, std::string_view name) {
    if (!isHolderName(name)) return false;
    const int fd = ::open((folder / std::string(name)).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

// This process's holder file in a machine folder, made and locked on its first assertion there
// (the caller holds the assertions' lock). A child forked from us is another process and makes
// its own; an executed program keeps none (close-on-exec).
std::optional<std::string> ownHolder(const Machine& machine) {
    struct Held {
        pid_t pid;
        int fd;
        std::string name;
    };
    static std::mutex mutex;
    static std::map<std::string, Held> held;
    const std::lock_guard lock(mutex);
    const Path folder = holdersFolder(machine);
    auto found = held.find(folder.string());
    if (found != held.end() && found->second.pid == ::getpid()) return found->second.name;
    if (found != held.end()) {
        ::close(found->second.fd);  // the parent's, which keeps its lock
        held.erase(found);
    }
    if (!createDirectories(folder)) return std::nullopt;
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[17];
        std::snprintf(name, sizeof name, "%08x%08x", random(), random());
        const int fd = ::open((folder / name).c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return std::nullopt;
        if (::flock(fd, LOCK_SH) != 0) {
            ::close(fd);
            ::unlink((folder / name).c_str());
            return std::nullopt;
        }
        held.emplace(folder.string(), Held{::getpid(), fd, name});
        return std::string(name);
    }
    return std::nullopt;
}

std::optional<std::uint64_t> entryNumber(const Value& entry, std::string_view key) {
    const Value* value = entry.find(key);
    const auto number = value ? value->integerValue() : std::nullopt;
    if (!number) return std::nullopt;
    return static_cast<std::uint64_t>(*number);
}

// Whether /proc lists the processes of our own PID namespace (not those of one mounted for an
// outer namespace, where our pids name others).
bool procListsOwnProcesses() {
    char self[32] = {};
    const ssize_t n = ::readlink("/proc/self", self, sizeof self - 1);
    return n > 0 && std::string_view(self, static_cast<std::size_t>(n)) == std::to_string(::getpid());
}

// An entry made through us lives as long as the process that made it: while it holds its
// holder file locked, and, seen from its own PID namespace, while the pid has the same start (a
// reused pid is another process). Seen from another namespace its pid names someone else.
bool creatorAlive(std::int32_t pid, const Value& entry, const Path& holders) {
    const Value* start = entry.find(startKey);
    if (!start) return true;
    if (const Value* holder = entry.find(holderKey)) {
        const std::string* name = holder->asString();
        if (!name || !holderAlive(holders, *name)) return false;
        if (madeInAnotherPidNamespace(entry) || !procListsOwnProcesses()) return true;
    }
    const auto recorded = start->integerValue();
    const auto actual = processStartTime(pid);
    return recorded && actual && static_cast<std::uint64_t>(*recorded) == *actual;
}

void dropOrphans(Value& root, const Path& holders) {
    Value::Dictionary& byProcess = *root.asDictionary();
    for (auto it = byProcess.begin(); it != byProcess.end();) {
        const auto pid = parseInt32(it->first);
        Value::Array* list = it->second.asArray();
        if (!pid || !list) {
            ++it;  // not ours to judge; the reader decides what it makes of it
            continue;
        }
        std::erase_if(*list, [&](const Value& entry) { return !creatorAlive(*pid, entry, holders); });
        it = list->empty() ? byProcess.erase(it) : std::next(it);
    }
}

// Removes the files of holders that ended (the caller holds the assertions' lock, under which
// holders are made, so none is taken for ended before it is locked).
void removeEnded(const Path& holders) {
    std::error_code error;
    for (fs::directory_iterator entry(holders, error), end; !error && entry != end; entry.increment(error))
        if (const std::string name = entry->path().filename().string(); isHolderName(name) && !holderAlive(holders, name))
            ::unlink(entry->path().c_str());
}

bool save(const Path& file, const Value& byProcess) {
    const auto text = writeJson(byProcess);
    return text && createDirectories(file.parent_path()) && writeFileAtomically(file, *text);
}

}  // namespace

std::optional<std::uint32_t> PowerAssertions::create(std::string_view type, std::int64_t level,
                                                     std::string_view name) const {
    const Path file = assertionsFile(machine_);
    const FileLock lock(file);
    if (!lock.held()) return std::nullopt;
    auto byProcess = readJsonObject(file);
    const auto start = ownStartTime();
    const auto space = ownPidNamespace();
    if (!byProcess || !start || !space) return std::nullopt;
    const Path holders = holdersFolder(machine_);
    dropOrphans(*byProcess, holders);
    const auto holder = ownHolder(machine_);
    if (!holder) return std::nullopt;

    std::int64_t highest = 0;
    for (const auto& [pid, list] : *byProcess->asDictionary()) {
        if (const auto* entries = list.asArray())
            for (const auto& entry : *entries)
                if (const Value* id = entry.find(idKey)) highest = std::max(highest, id->integerValue().value_or(0));
    }
    if (highest >= static_cast<std::int64_t>(UINT32_MAX)) return std::nullopt;
    const auto id = static_cast<std::uint32_t>(highest + 1);

    Value::Dictionary assertion;
    assertion.emplace("AssertType", Value::string(std::string(type)));
    assertion.emplace("AssertLevel", Value::integer(level));
    assertion.emplace("AssertName", Value::string(std::string(name)));
    assertion.emplace("Process Name", Value::string(program_invocation_short_name));
    assertion.emplace(idKey, Value::integer(id));
    assertion.emplace(startKey, Value::integer(static_cast<std::int64_t>(*start)));
    assertion.emplace(namespaceKey, Value::integer(static_cast<std::int64_t>(*space)));
    assertion.emplace(holderKey, Value::string(*holder));
    Value& own = (*byProcess->asDictionary())[std::to_string(::getpid())];
    if (!own.isArray()) own = Value::array(Value::Array{});
    own.asArray()->push_back(Value::dictionary(std::move(assertion)));
    if (!save(file, *byProcess)) return std::nullopt;
    removeEnded(holders);
    return id;
}

bool PowerAssertions::release(std::uint32_t id) const {
    const Path file = assertionsFile(machine_);
    const FileLock lock(file);
    if (!lock.held()) return false;
    auto byProcess = readJsonObject(file);
    if (!byProcess) return false;
    const Path holders = holdersFolder(machine_);
    dropOrphans(*byProcess, holders);
    auto& all = *byProcess->asDictionary();
    const auto own = all.find(std::to_string(::getpid()));
    if (own == all.end() || !own->second.isArray()) return false;
    // Another PID namespace may hold the same pid: only this process's own entries are ours.
    const auto holder = ownHolder(machine_);
    auto& list = *own->second.asArray();
    const auto removed = std::erase_if(list, [&](const Value& entry) {
        const Value* held = entry.find(idKey);
        const Value* by = entry.find(holderKey);
        return held && held->integerValue() == static_cast<std::int64_t>(id) && by && holder &&
               by->asString() && *by->asString() == *holder;
    });
    if (removed == 0) return false;
    if (list.empty()) all.erase(own);
    if (!save(file, *byProcess)) return false;
    removeEnded(holders);
    return true;
}

std::optional<Value> PowerAssertions::byProcess() const {
    // As a state file is read: no file is no assertions, anything but an object none at all.
    static const FileReading<std::optional<Value>> reading([](const FileBytes& file) -> std::optional<Value> {
        if (!file.exists) return Value::dictionary({});
        auto value = file.bytes ? parseJson(*file.bytes) : std::nullopt;
        return value && value->isDictionary() ? value : std::nullopt;
    });
    auto byProcess = *reading(machine_.path("power/assertions.json"));
    if (!byProcess) return std::nullopt;
    dropOrphans(*byProcess, holdersFolder(machine_));
    return byProcess;
}

std::optional<std::uint64_t> ownPidNamespace() {
    struct stat own {};
    if (::stat("/proc/self/ns/pid", &own) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(own.st_ino);
}

bool madeInAnotherPidNamespace(const Value& entry) {
    const auto space = entryNumber(entry, namespaceKey);
    return space && space != ownPidNamespace();
}

}  // namespace norvane
