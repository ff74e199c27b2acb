#include "tests/support/Uprobe.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace norvane::testing {
namespace {

bool append(const Path& file, const std::string& line, std::string& error) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const bool written = fd >= 0 && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if (!written) error = "cannot write " + file.string() + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return written;
}

// The tracing file system, mounted in this process's mount namespace where it is not yet.
std::variant<Path, std::string> tracing() {
    for (const char* folder : {"/sys/kernel/tracing", "/sys/kernel/debug/tracing"})
        if (::access((Path(folder) / "uprobe_events").c_str(), F_OK) == 0) return Path(folder);
    if (::mount("nodev", "/sys/kernel/tracing", "tracefs", 0, nullptr) == 0) return Path("/sys/kernel/tracing");
    return std::string("the kernel's tracing files are not there and cannot be mounted: ") + std::strerror(errno);
}

}  // namespace

std::variant<Uprobe, std::string> Uprobe::place(const Path& file, std::uint64_t offset) {
    auto folder = tracing();
    if (const auto* why = std::get_if<std::string>(&folder)) return *why;
    const Path root = std::get<Path>(folder);
    std::random_device random;
    const std::string event = "norvane_" + std::to_string(random()) + "/probe";
    char definition[64];
    std::snprintf(definition, sizeof definition, ":0x%llx\n", static_cast<unsigned long long>(offset));
    std::string error;
    if (!append(root / "uprobe_events", "p:" + event + " " + file.string() + definition, error)) return error;
    Uprobe probe(root, event);
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

Uprobe::Uprobe(Uprobe&& other) noexcept : tracing_(std::move(other.tracing_)), event_(std::exchange(other.event_, {})) {}

Uprobe::~Uprobe() {
    if (event_.empty()) return;
    std::string error;
    append(tracing_ / "events" / event_ / "enable", "0", error);
    append(tracing_ / "uprobe_events", "-:" + event_ + "\n", error);
}

}  // namespace norvane::testing
