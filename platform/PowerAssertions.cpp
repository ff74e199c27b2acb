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

// The holder files of this process, by folder: each one's descriptor keeps its shared lock.
struct Held {
    pid_t pid;
    int fd;
    std::string name;
};
struct OwnHolders {
    std::mutex mutex;
    std::map<std::string, Held> byFolder;
};
OwnHolders& ownHolders() {
    static OwnHolders holders;
    return holders;
}

// Whether the named file is this process's own holder in the folder: a process never takes
// itself for ended, whatever its file or the file system's locks say.
bool isOwnHolder(const Path& folder, std::string_view name) {
    OwnHolders& own = ownHolders();
    const std::lock_guard lock(own.mutex);
    const auto found = own.byFolder.find(folder.string());
    return found != own.byFolder.end() && found->second.pid == ::getpid() && found->second.name == name;
}

// Whether the process that holds the named file locked may still live. Only the system tells its
// end: no such file, or our exclusive try on it taken (its shared lock went with it, whatever PID
// namespace it lived in). Any other failure keeps it, as a file system may refuse the try itself
// (an NFS home gives no exclusive flock on a read-only descriptor: EBADF): a hold that outlives
// a crashed holder there is better than one dropped while its holder lives.
bool holderAlive(const Path& folder, std::string_view name, PowerAssertions::HolderLock lock) {
    if (!isHolderName(name)) return false;
    if (isOwnHolder(folder, name)) return true;
    const int fd = ::open((folder / std::string(name)).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno != ENOENT && errno != ENOTDIR;
    const bool taken = lock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return !taken;
}

// Whether the held descriptor is still the file at the path (not deleted, nor replaced by
// another); yes when that cannot be told.
bool stillAt(const Path& file, int fd) {
    struct stat held {}, now {};
    if (::fstat(fd, &held) != 0) return true;
    if (::lstat(file.c_str(), &now) != 0) return errno != ENOENT && errno != ENOTDIR;
    return held.st_dev == now.st_dev && held.st_ino == now.st_ino;
}

struct OwnHolder {
    std::string name;
    std::optional<std::string> former;  // the name of the file it stands for, when that went
};

// This process's holder file in a machine folder, made and locked on its first assertion there
// (the caller holds the assertions' lock), and made again when its file went while the process
// lives (others would take it for ended). A child forked from us is another process and makes
// its own; an executed program keeps none (close-on-exec).
std::optional<OwnHolder> ownHolder(const Machine& machine, PowerAssertions::HolderLock lock) {
    OwnHolders& own = ownHolders();
    const std::lock_guard guard(own.mutex);
    const Path folder = holdersFolder(machine);
    std::optional<std::string> former;
    if (const auto found = own.byFolder.find(folder.string()); found != own.byFolder.end()) {
        const Held current = found->second;
        if (current.pid == ::getpid() && stillAt(folder / current.name, current.fd)) return OwnHolder{current.name, {}};
        ::close(current.fd);  // the parent's, which keeps its lock, or one whose file went
        if (current.pid == ::getpid()) former = current.name;
        own.byFolder.erase(found);
    }
    if (!createDirectories(folder)) return std::nullopt;
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[17];
        std::snprintf(name, sizeof name, "%08x%08x", random(), random());
        const int fd = ::open((folder / name).c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return std::nullopt;
        if (lock(fd, LOCK_SH) != 0) {
            ::close(fd);
            ::unlink((folder / name).c_str());
            return std::nullopt;
        }
        own.byFolder.emplace(folder.string(), Held{::getpid(), fd, name});
        return OwnHolder{name, former};
    }
    return std::nullopt;
}

// Points this process's entries that name its former holder at the one made for it.
void moveToHolder(Value& root, const OwnHolder& holder) {
    if (!holder.former) return;
    Value::Dictionary& byProcess = *root.asDictionary();
    const auto own = byProcess.find(std::to_string(::getpid()));
    Value::Array* list = own != byProcess.end() ? own->second.asArray() : nullptr;
    if (!list) return;
    for (Value& entry : *list) {
        Value::Dictionary* fields = entry.asDictionary();
        if (!fields) continue;
        const auto by = fields->find(holderKey);
        if (by != fields->end() && by->second.asString() && *by->second.asString() == *holder.former)
            by->second = Value::string(holder.name);
    }
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
bool creatorAlive(std::int32_t pid, const Value& entry, const Path& holders, PowerAssertions::HolderLock lock) {
    const Value* start = entry.find(startKey);
    if (!start) return true;
    if (const Value* holder = entry.find(holderKey)) {
        const std::string* name = holder->asString();
        if (!name || !holderAlive(holders, *name, lock)) return false;
        if (madeInAnotherPidNamespace(entry) || !procListsOwnProcesses()) return true;
    }
    const auto recorded = start->integerValue();
    const auto actual = processStartTime(pid);
    return recorded && actual && static_cast<std::uint64_t>(*recorded) == *actual;
}

void dropOrphans(Value& root, const Path& holders, PowerAssertions::HolderLock lock) {
    Value::Dictionary& byProcess = *root.asDictionary();
    for (auto it = byProcess.begin(); it != byProcess.end();) {
        const auto pid = parseInt32(it->first);
        Value::Array* list = it->second.asArray();
        if (!pid || !list) {
            ++it;  // not ours to judge; the reader decides what it makes of it
            continue;
        }
        std::erase_if(*list, [&](const Value& entry) { return !creatorAlive(*pid, entry, holders, lock); });
        it = list->empty() ? byProcess.erase(it) : std::next(it);
    }
}

// Removes the files of holders that ended, as the entries are judged (the caller holds the
// assertions' lock, under which holders are made, so none is taken for ended before it is locked).
void removeEnded(const Path& holders, PowerAssertions::HolderLock lock) {
    std::error_code error;
    for (fs::directory_iterator entry(holders, error), end; !error && entry != end; entry.increment(error))
        if (const std::string name = entry->path().filename().string();
            isHolderName(name) && !holderAlive(holders, name, lock))
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
    dropOrphans(*byProcess, holders, lock_);
    const auto holder = ownHolder(machine_, lock_);
    if (!holder) return std::nullopt;
    moveToHolder(*byProcess, *holder);

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
    assertion.emplace(holderKey, Value::string(holder->name));
    Value& own = (*byProcess->asDictionary())[std::to_string(::getpid())];
    if (!own.isArray()) own = Value::array(Value::Array{});
    own.asArray()->push_back(Value::dictionary(std::move(assertion)));
    if (!save(file, *byProcess)) return std::nullopt;
    removeEnded(holders, lock_);
    return id;
}

bool PowerAssertions::release(std::uint32_t id) const {
    const Path file = assertionsFile(machine_);
    const FileLock lock(file);
    if (!lock.held()) return false;
    auto byProcess = readJsonObject(file);
    if (!byProcess) return false;
    const Path holders = holdersFolder(machine_);
    dropOrphans(*byProcess, holders, lock_);
    auto& all = *byProcess->asDictionary();
    const auto own = all.find(std::to_string(::getpid()));
    if (own == all.end() || !own->second.isArray()) return false;
    // Another PID namespace may hold the same pid: only this process's own entries are ours.
    const auto holder = ownHolder(machine_, lock_);
    if (!holder) return false;
    moveToHolder(*byProcess, *holder);
    auto& list = *own->second.asArray();
    const auto removed = std::erase_if(list, [&](const Value& entry) {
        const Value* held = entry.find(idKey);
        const Value* by = entry.find(holderKey);
        return held && held->integerValue() == static_cast<std::int64_t>(id) && by && by->asString() &&
               *by->asString() == holder->name;
    });
    if (removed == 0 && !holder->former) return false;  // a new holder is saved all the same
    if (list.empty()) all.erase(own);
    if (!save(file, *byProcess)) return false;
    removeEnded(holders, lock_);
    return removed != 0;
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
    dropOrphans(*byProcess, holdersFolder(machine_), lock_);
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
