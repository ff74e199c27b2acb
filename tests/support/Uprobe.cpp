#include "tests/support/Uprobe.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace norvane::testing {
namespace {

bool append(const Path& file, const std::string& line, std::string& error) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const bool written = fd >= 0 && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if (!written) error = "cannot write " + file.string() + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return written;
}

// The tracing file system, mounted in this process's mount namespace where it is not yet. Where
// it is mounted but shut to us (the administrator's alone), that is the reason.
std::variant<Path, std::string> tracing() {
    for (const char* folder : {"/sys/kernel/tracing", "/sys/kernel/debug/tracing"}) {
        const Path events = Path(folder) / "uprobe_events";
        if (::access(events.c_str(), F_OK) == 0) return Path(folder);
        if (errno == EACCES) return "the kernel's tracing files cannot be written: " + std::string(std::strerror(errno));
    }
    if (::mount("nodev", "/sys/kernel/tracing", "tracefs", 0, nullptr) == 0) return Path("/sys/kernel/tracing");
    return std::string("the kernel's tracing files are not there and cannot be mounted: ") + std::strerror(errno);
}

const Path holders = "/tmp/norvane-uprobes";

// The holders' folder, ours alone: made where it is missing, refused where it is another's or
// no folder (a link someone put in /tmp).
bool holdersFolder() {
    ::mkdir(holders.c_str(), 0700);
    struct stat s {};
    return ::lstat(holders.c_str(), &s) == 0 && S_ISDIR(s.st_mode) && s.st_uid == ::geteuid() && (s.st_mode & 077) == 0;
}

// Whether a probe group of ours ("norvane_<random>") has lost its placer: its holder file is
// missing or no one holds it locked.
bool abandoned(const std::string& group) {
    const std::string name = group.substr(group.find('_') + 1);
    if (name.empty() || name.find('/') != std::string::npos) return false;
    const int fd = ::open((holders / name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (free) ::unlink((holders / name).c_str());
    ::close(fd);
    return free;
}

// Removes the probes of ours that a run killed before it removed them left behind.
void sweep(const Path& root) {
    std::ifstream events(root / "uprobe_events");
    std::vector<std::string> left;
    for (std::string line; std::getline(events, line);) {
        // "p:GROUP/EVENT FILE:OFFSET"
        const auto colon = line.find(':'), slash = line.find('/'), space = line.find(' ');
        if (colon == std::string::npos || slash == std::string::npos || space == std::string::npos || slash > space) continue;
        const std::string group = line.substr(colon + 1, slash - colon - 1);
        if (group.starts_with("norvane_") && abandoned(group)) left.push_back(line.substr(colon + 1, space - colon - 1));
    }
    std::string error;
    for (const auto& event : left) {
        append(root / "events" / event / "enable", "0", error);
        append(root / "uprobe_events", "-:" + event + "\n", error);
    }
}

}  // namespace

std::variant<Uprobe, std::string> Uprobe::place(const Path& file, std::uint64_t offset) {
    auto folder = tracing();
    if (const auto* why = std::get_if<std::string>(&folder)) return *why;
    const Path root = std::get<Path>(folder);
    if (::access((root / "uprobe_events").c_str(), W_OK) != 0)
        return "the kernel's tracing files cannot be written: " + std::string(std::strerror(errno));
    if (!holdersFolder()) return "no folder of ours for the probes' holders at " + holders.string();
    sweep(root);
    std::random_device random;
    char name[17];
    std::snprintf(name, sizeof name, "%08x%08x", random(), random());
    const int lock = ::open((holders / name).c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_SH) != 0) {
        if (lock >= 0) ::close(lock);
        return "cannot hold " + (holders / name).string() + ": " + std::strerror(errno);
    }
    const std::string event = "norvane_" + std::string(name) + "/probe";
    char definition[64];
    std::snprintf(definition, sizeof definition, ":0x%llx\n", static_cast<unsigned long long>(offset));
    Uprobe probe(root, event, holders / name, lock);
    std::string error;
    if (!append(root / "uprobe_events", "p:" + event + " " + file.string() + definition, error)) {
        probe.event_.clear();
        return error;
    }
    if (!append(root / "events" / event / "enable", "1", error)) return error;
    return probe;
}

std::optional<CodeLocation> Uprobe::of(const void* function) {
    const auto address = reinterpret_cast<std::uintptr_t>(function);
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        std::istringstream fields(line);
        std::string range, perms, offset, device, inode, path;
        fields >> range >> perms >> offset >> device >> inode >> path;
        const auto dash = range.find('-');
        if (dash == std::string::npos || path.empty() || path[0] != '/') continue;
        const auto start = std::stoull(range.substr(0, dash), nullptr, 16), end = std::stoull(range.substr(dash + 1), nullptr, 16);
        if (address >= start && address < end) return CodeLocation{path, address - start + std::stoull(offset, nullptr, 16)};
    }
    return std::nullopt;
}

Uprobe::Uprobe(Uprobe&& other) noexcept
    : tracing_(std::move(other.tracing_)), event_(std::exchange(other.event_, {})), holder_(std::move(other.holder_)),
      lock_(std::exchange(other.lock_, -1)) {}

Uprobe::~Uprobe() {
    if (!event_.empty()) {
        std::string error;
        append(tracing_ / "events" / event_ / "enable", "0", error);
        append(tracing_ / "uprobe_events", "-:" + event_ + "\n", error);
    }
    if (lock_ >= 0) {
        ::unlink(holder_.c_str());
        ::close(lock_);
    }
}

}  // namespace norvane::testing
