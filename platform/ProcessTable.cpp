#include "platform/ProcessTable.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
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

// Where a mapping's pages come from: its file's device (major and minor, as the map writes
// them) and the offset of its first page in the file.
struct MappingSource {
    std::uint64_t offset = 0;
    unsigned major = 0, minor = 0;
};

bool parseHex(std::string_view text, std::uint64_t& value) {
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return !text.empty() && error == std::errc() && stop == text.data() + text.size();
}

// Calls `each(start, end, code, source)` with every executable mapping of a map's text, in its
// order.
template <class Each>
void forEachExecutableMapping(std::string_view maps, Each each) {
    // A line: address perms offset device inode [name], the name being the rest of the line.
    while (!maps.empty()) {
        std::string_view line = nextLine(maps);
        const std::string_view range = nextField(line);
        std::string_view fields[4];
        for (auto& field : fields)
            field = nextField(line);
        const auto dash = range.find('-');
        const auto inode = parseUInt64(fields[3]);
        if (dash == std::string_view::npos || fields[0].size() < 3 || fields[0][2] != 'x' || !inode) continue;
        std::uint64_t start = 0, end = 0;
        if (!parseHex(range.substr(0, dash), start) || !parseHex(range.substr(dash + 1), end) || end < start) continue;
        // An offset or device that does not read leaves nothing to compare the pages with.
        MappingSource source;
        std::uint64_t major = 0, minor = 0;
        const auto colon = fields[2].find(':');
        if (!parseHex(fields[1], source.offset) || colon == std::string_view::npos ||
            !parseHex(fields[2].substr(0, colon), major) || !parseHex(fields[2].substr(colon + 1), minor) ||
            major > UINT32_MAX || minor > UINT32_MAX)
            source = MappingSource{UINT64_MAX, 0, 0};
        else
            source = MappingSource{source.offset, static_cast<unsigned>(major), static_cast<unsigned>(minor)};
        const auto from = line.find_first_not_of(' ');
        const std::string_view name = from == std::string_view::npos ? std::string_view() : line.substr(from);
        each(start, end, MappedCode{std::string(name), *inode, 0}, source);
    }
}

// What the kernel shows of a mapped file: a private, read-only mapping of that very file of our
// own, and the file's own bytes. The kernel puts a probe's breakpoints (uprobes) into every
// mapping of the file, this one too, but never into the file, and no one else writes into our
// mapping. So a peer's code page holds nothing the peer, a library or a debugger wrote when each
// of its bytes is the file's own, or a breakpoint where our mapping shows one too. A probe is
// placed, and removed, one process at a time: a peer the kernel has not reached yet holds the
// file's byte where our fresh mapping already holds the breakpoint, which is the file's code all
// the same.
class KernelView {
public:
    KernelView(const std::string& path, std::uint64_t inode, const MappingSource& source, std::uint64_t length,
               std::uint64_t pageSize)
        : fd_(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)), offset_(source.offset) {
        struct stat file {};
        const bool same = fd_.get() >= 0 && ::fstat(fd_.get(), &file) == 0 && S_ISREG(file.st_mode) &&
                          file.st_ino == inode && major(file.st_dev) == source.major &&
                          minor(file.st_dev) == source.minor;
        // Only the pages that hold some of the file (the last one filled up with zeros, as the
        // peer's is): a page past its end has no bytes to show.
        if (same && source.offset < static_cast<std::uint64_t>(file.st_size)) {
            const std::uint64_t rest = static_cast<std::uint64_t>(file.st_size) - source.offset;
            length_ = std::min(length, (rest + pageSize - 1) / pageSize * pageSize);
            void* view = ::mmap(nullptr, length_, PROT_READ, MAP_PRIVATE, fd_.get(), static_cast<off_t>(source.offset));
            view_ = view == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(view);
        }
    }
    ~KernelView() {
        if (view_) ::munmap(const_cast<unsigned char*>(view_), length_);
    }
    KernelView(const KernelView&) = delete;
    KernelView& operator=(const KernelView&) = delete;
    // How the page at `at` bytes into the mapping compares with `bytes`: the kernel's, or other
    // only by breakpoints that our mapping does not show (a probe being removed, which reaches
    // the peer later than our mapping; or a debugger's), or other.
    enum class Match { same, breakpoints, other };
    Match compare(std::uint64_t at, const unsigned char* bytes, std::size_t size) {
        if (!view_ || at >= length_ || size > length_ - at) return Match::other;
        own_.assign(size, 0);  // past the file's end, zeros
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::pread(fd_.get(), own_.data() + done, size - done, static_cast<off_t>(offset_ + at + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Match::other;
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        Match match = Match::same;
        for (std::size_t i = 0; i < size; ++i) {
            if (bytes[i] == own_[i] || (bytes[i] == breakpoint && view_[at + i] == breakpoint)) continue;
            if (bytes[i] != breakpoint) return Match::other;
            match = Match::breakpoints;
        }
        return match;
    }

    static constexpr unsigned char breakpoint = 0xCC;  // int3, which a uprobe writes on x86

private:
    FileDescriptor fd_;
    std::uint64_t offset_;
    const unsigned char* view_ = nullptr;
    std::uint64_t length_ = 0;
    std::vector<unsigned char> own_;
};

// No more of a process's pages are compared with their files than this (16 MiB of 4 KiB pages):
// beyond it a page that no longer comes from its file counts as written.
constexpr std::uint64_t maximumComparedPages = 4096;

// How many pages of a process's private file mapping hold other bytes than the kernel shows of
// the file: its page map tells which pages no longer come from the file (a copy, or swapped
// out), and each of those is read from the process's memory (`memory`, opened on first need)
// and compared with the kernel's view. Absent when the page map cannot be read.
std::optional<std::uint64_t> writtenPages(int pagemap, std::uint64_t start, std::uint64_t end, std::uint64_t pageSize,
                                          const MappedCode& code, const MappingSource& source,
                                          const std::function<int()>& memory, std::uint64_t& compared) {
    std::uint64_t entries[4096];
    std::uint64_t written = 0;
    std::optional<KernelView> view;
    std::vector<unsigned char> page(pageSize);
    const auto keptByKernel = [&](std::uint64_t address) {
        if (compared >= maximumComparedPages || source.offset == UINT64_MAX || memory() < 0) return false;
        ++compared;
        // Pages that differ only by breakpoints our mapping lacks are looked at again, a little
        // later, with a fresh view: a probe being removed reaches the peer after our mapping.
        for (int attempt = 0;; ++attempt) {
            if (!view) view.emplace(code.path, code.inode, source, end - start, pageSize);
            const ssize_t n = ::pread(memory(), page.data(), pageSize, static_cast<off_t>(address));
            const auto match = n == static_cast<ssize_t>(pageSize) ? view->compare(address - start, page.data(), pageSize)
                                                                   : KernelView::Match::other;
            if (match != KernelView::Match::breakpoints || attempt == 4) return match == KernelView::Match::same;
            view.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(10 << attempt));  // 310 ms in all
        }
    };
    for (std::uint64_t index = start / pageSize; index < end / pageSize;) {
        const std::uint64_t count = std::min<std::uint64_t>(std::size(entries), end / pageSize - index);
        const ssize_t n =
            ::pread(pagemap, entries, count * sizeof entries[0], static_cast<off_t>(index * sizeof entries[0]));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || n % sizeof entries[0] != 0) return std::nullopt;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof entries[0]; ++i)
            if (isWrittenPage(entries[i]) && !keptByKernel((index + i) * pageSize)) ++written;
        index += static_cast<std::uint64_t>(n) / sizeof entries[0];
    }
    return written;
}

}  // namespace

std::vector<MappedCode> parseMappedCode(std::string_view maps) {
    std::vector<MappedCode> out;
    forEachExecutableMapping(maps, [&out](std::uint64_t, std::uint64_t, MappedCode code, const MappingSource&) {
        out.push_back(std::move(code));
    });
    return out;
}

std::optional<std::vector<MappedCode>> mappedCode(std::int32_t pid) {
    const auto maps = readFile(procFile(pid, "maps"), maximumMapBytes);
    if (!maps) return std::nullopt;
    const long size = ::sysconf(_SC_PAGESIZE);
    const std::uint64_t pageSize = size > 0 ? static_cast<std::uint64_t>(size) : 4096;
    auto opened = openRegularFile(procFile(pid, "pagemap"));
    const auto* pagemap = std::get_if<FileDescriptor>(&opened);
    if (!pagemap) return std::nullopt;
    // The process's memory, opened only when a page must be compared.
    std::optional<FileDescriptor> memory;
    const auto memoryFd = [&] {
        if (!memory) memory.emplace(::open(procFile(pid, "mem").c_str(), O_RDONLY | O_CLOEXEC));
        return memory->get();
    };
    // Only the code of files is looked up, page by page, and no more of it than a program has.
    std::vector<MappedCode> out;
    std::uint64_t looked = 0, compared = 0;
    bool read = true;
    forEachExecutableMapping(*maps, [&](std::uint64_t start, std::uint64_t end, MappedCode code, const MappingSource& source) {
        if (read && code.path.starts_with('/')) {
            looked += (end - start) / pageSize;
            const auto written = looked <= maximumCodePages ? writtenPages(pagemap->get(), start, end, pageSize, code,
                                                                           source, memoryFd, compared)
                                                            : std::nullopt;
            read = written.has_value();
            code.writtenPages = written.value_or(0);
        }
        out.push_back(std::move(code));
    });
    if (!read) return std::nullopt;
    return out;
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
    const auto status = readFile(procFile(pid, "status"), 65536);
    return status ? parseTracer(*status) : std::nullopt;
}

std::vector<std::string> parseEnvironmentNames(std::string_view environ) {
    std::vector<std::string> names;
    // An entry without "=" is no variable to the loader either, but still named.
    for (const auto entry : splitNonEmpty(environ, '\0')) names.emplace_back(entry.substr(0, entry.find('=')));
    return names;
}

std::optional<std::vector<std::string>> processEnvironmentNames(std::int32_t pid) {
    const auto environ = readFile(procFile(pid, "environ"), maximumEnvironmentBytes);
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
