#include "platform/ProcessKernel.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/Files.h"
#include "platform/ProcessTable.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::uint64_t kernelThreadFlag = 0x00200000;  // PF_KTHREAD

// Calls `each` with every process id of /proc, in the kernel's order.
bool forEachPid(const std::function<void(std::int32_t)>& each) {
    DIR* dir = ::opendir("/proc");
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        if (const auto pid = parseInt32(entry->d_name); pid && *pid > 0) each(*pid);
    }
    ::closedir(dir);
    return true;
}

class ProcKernel final : public ProcessKernel {
public:
    int processCount() const override {
        long count = 0;
        if (!forEachPid([&](std::int32_t) { ++count; })) return -1;
        return static_cast<int>(std::min<long>(count, INT_MAX));
    }

    int listProcessIds(std::span<std::int32_t> into) const override {
        long count = 0;
        std::unordered_set<std::int32_t> threads;  // the kernel threads still listed
        const std::lock_guard lock(mutex_);
        const bool listed = forEachPid([&](std::int32_t pid) {
            if (static_cast<std::size_t>(count) < into.size()) into[static_cast<std::size_t>(count)] = pid;
            ++count;
            if (kernelThreads_.contains(pid)) threads.insert(pid);
        });
        if (!listed) return -1;
        kernelThreads_ = std::move(threads);
        return static_cast<int>(std::min<long>(count, INT_MAX));
    }

    std::optional<ProcessInfo> info(std::int32_t pid) const override {
        auto found = record(pid);
        if (!found) return std::nullopt;
        return std::move(found->info);
    }

    std::optional<CpuTicks> cpuTicks(std::int32_t pid) const override {
        const auto found = record(pid);
        if (!found) return std::nullopt;
        return found->ticks;
    }

    // One read of /proc/<pid>/stat gives both. Kernel threads are most of the ids on a
    // Linux machine; one seen before costs a look at its executable instead, which it still
    // lacks while the id is its own: an id goes to another process only once the kernel's
    // counter has gone round, and that one has an executable (unless it has ended already).
    std::optional<ProcessRecord> record(std::int32_t pid) const override {
        if (known(pid)) {
            char link[32];
            std::snprintf(link, sizeof link, "/proc/%d/exe", static_cast<int>(pid));
            char target[1];
            if (::readlink(link, target, sizeof target) < 0 && errno == ENOENT) return std::nullopt;
        }
        auto stat = readProcStat(pid);
        if (!stat) return std::nullopt;
        if (stat->kernelThread) {
            const std::lock_guard lock(mutex_);
            kernelThreads_.insert(pid);
            return std::nullopt;
        }
        if (known(pid)) {
            const std::lock_guard lock(mutex_);
            kernelThreads_.erase(pid);
        }
        return ProcessRecord{{std::move(stat->name), stat->parent}, CpuTicks{stat->user, stat->system}};
    }

    std::string path(std::int32_t pid) const override { return processPath(pid); }

    std::optional<std::string> argumentArea(std::int32_t pid) const override {
        if (pid <= 0) return std::nullopt;
        auto arguments = readFile(procFile(pid, "cmdline"));
        if (!arguments) return std::nullopt;
        // A process that rewrote its arguments may have left the last one unended.
        if (!arguments->empty() && arguments->back() != '\0') arguments->push_back('\0');
        const auto count = static_cast<std::int32_t>(std::count(arguments->begin(), arguments->end(), '\0'));
        std::string area(sizeof count, '\0');
        std::memcpy(area.data(), &count, sizeof count);
        area += processPath(pid);
        area.push_back('\0');
        // The arguments start at the next pointer-aligned place, as the Mac lays them out.
        area.append((8 - area.size() % 8) % 8, '\0');
        area += *arguments;
        return area;
    }

    Timebase timebase() const override {
        const long ticks = ::sysconf(_SC_CLK_TCK);
        return {1'000'000'000, static_cast<std::uint64_t>(ticks > 0 ? ticks : 100)};
    }

private:
    bool known(std::int32_t pid) const {
        const std::lock_guard lock(mutex_);
        return kernelThreads_.contains(pid);
    }

    mutable std::mutex mutex_;
    // Kernel threads seen at their ids, as long as the listing still holds those ids.
    mutable std::unordered_set<std::int32_t> kernelThreads_;
};

bool ended(std::int32_t pid) {
    if (!processExists(pid)) return true;
    const auto stat = readProcStat(pid);
    return stat && (stat->state == 'Z' || stat->state == 'X');
}

}  // namespace

const ProcessKernel& systemProcessKernel() {
    static const ProcKernel kernel;
    return kernel;
}

std::optional<ProcStat> parseProcStat(std::string_view text) {
    // The command in parentheses may hold anything, parentheses too; the fields after the
    // last ")" are fixed.
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;
    // After the command: state, ppid, …, flags (7th), …, utime (12th), stime (13th), …,
    // threads (18th), …, starttime (20th). Fields are parted by spaces; line feeds end none.
    std::string_view fields[20];
    std::size_t count = 0;
    for (std::string_view rest = text.substr(close + 1); !rest.empty() && count < std::size(fields);) {
        const auto at = rest.find(' ');
        std::string_view field = rest.substr(0, at);
        while (!field.empty() && field.back() == '\n') field.remove_suffix(1);
        if (!field.empty()) fields[count++] = field;
        if (at == std::string_view::npos) break;
        rest.remove_prefix(at + 1);
    }
    if (count < std::size(fields) || fields[0].size() != 1) return std::nullopt;
    const auto parent = parseInt32(fields[1]);
    const auto flags = parseInt64(fields[6]);
    const auto user = parseInt64(fields[11]);
    const auto system = parseInt64(fields[12]);
    const auto threads = parseInt64(fields[17]);
    const auto start = parseInt64(fields[19]);
    if (!parent || !flags || !user || !system || !threads || !start || *user < 0 || *system < 0 || *start < 0)
        return std::nullopt;
    ProcStat stat;
    stat.name = std::string(text.substr(open + 1, close - open - 1));
    stat.state = fields[0][0];
    stat.parent = *parent;
    stat.kernelThread = (static_cast<std::uint64_t>(*flags) & kernelThreadFlag) != 0;
    stat.user = static_cast<std::uint64_t>(*user);
    stat.system = static_cast<std::uint64_t>(*system);
    stat.threads = *threads;
    stat.start = static_cast<std::uint64_t>(*start);
    return stat;
}

namespace {

std::optional<ProcStat> readProcStatAt(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    // The record is one line, well under a kilobyte, which one read gives whole; a record
    // that fills the buffer is not one we can read.
    char buffer[4096];
    std::size_t size = 0;
    while (size < sizeof buffer && (size == 0 || buffer[size - 1] != '\n')) {
        const ssize_t n = ::read(fd, buffer + size, sizeof buffer - size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (size == sizeof buffer) return std::nullopt;
    return parseProcStat(std::string_view(buffer, size));
}

}  // namespace

std::optional<ProcStat> readProcStat(std::int32_t pid) {
    if (pid <= 0) return std::nullopt;
    // Read often (every process, every scan): no stat of the file, no text on the heap.
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    return readProcStatAt(path);
}

bool processExists(std::int32_t pid) {
    if (pid <= 0) return false;
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

bool waitForProcessEnd(std::int32_t pid, std::optional<double> seconds) {
    using Clock = std::chrono::steady_clock;
    if (pid <= 0) return true;
    const bool limited = seconds.has_value();
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                           limited && std::isfinite(*seconds) ? std::clamp(*seconds, 0.0, 1e6) : 0.0));
    auto remaining = [&]() -> int {
        if (!limited) return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
    };

    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0 && errno == ESRCH) return true;
    if (fd >= 0) {
        // The descriptor becomes readable when the process ends.
        for (;;) {
            pollfd watch{fd, POLLIN, 0};
            const int ready = ::poll(&watch, 1, remaining());
            if (ready < 0 && errno == EINTR) continue;
            ::close(fd);
            if (ready > 0) return true;
            if (ready == 0) return false;
            return ended(pid);  // poll failed: say what can be seen now
        }
    }
    // No pidfd to be had (an old kernel, no descriptors left): look twice a second.
    for (;;) {
        if (ended(pid)) return true;
        const int left = remaining();
        if (left == 0) return false;
        ::poll(nullptr, 0, left < 0 ? 500 : std::min(left, 500));
    }
}

std::optional<std::uint64_t> processStartTime(std::int32_t pid) {
    const auto stat = readProcStat(pid);
    if (!stat) return std::nullopt;
    return stat->start;
}

std::optional<std::uint64_t> ownStartTime() {
    const auto stat = readProcStatAt("/proc/self/stat");
    if (!stat) return std::nullopt;
    return stat->start;
}

}  // namespace norvane
