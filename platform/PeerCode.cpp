#include "platform/PeerCode.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <thread>

#include "platform/ProcessTable.h"
#include "platform/Text.h"

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;

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

bool parseHex(std::string_view text, std::uint64_t& value) {
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return !text.empty() && error == std::errc() && stop == text.data() + text.size();
}

std::uint64_t pageSize() {
    static const std::uint64_t size = [] {
        const long n = ::sysconf(_SC_PAGESIZE);
        return n > 0 ? static_cast<std::uint64_t>(n) : std::uint64_t{4096};
    }();
    return size;
}

// Reads `size` bytes at `at`, however many reads it takes; false on an error or a short read.
bool readAll(int fd, unsigned char* into, std::size_t size, std::uint64_t at) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::pread(fd, into + done, size - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Besides every LD_ variable: glibc's; Qt's; GLib's and GTK's, which Qt's desktop themes load;
// libcrypto's engines and providers; Mesa's and GLVND's drivers.
constexpr std::string_view loaderVariables[] = {
    "GLIBC_TUNABLES", "GCONV_PATH",
    "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "QML_IMPORT_PATH", "QML2_IMPORT_PATH",
    "GIO_EXTRA_MODULES", "GIO_MODULE_DIR", "GTK_PATH", "GTK_EXE_PREFIX",
    "OPENSSL_CONF", "OPENSSL_ENGINES", "OPENSSL_MODULES",
    "LIBGL_DRIVERS_PATH", "__EGL_VENDOR_LIBRARY_DIRS", "__EGL_VENDOR_LIBRARY_FILENAMES",
};

}  // namespace

std::vector<MappedCode> parseMappedCode(std::string_view maps) {
    std::vector<MappedCode> out;
    // A line: address perms offset device inode [name], the name being the rest of the line.
    while (!maps.empty()) {
        std::string_view line = nextLine(maps);
        const std::string_view range = nextField(line);
        std::string_view fields[4];
        for (auto& field : fields) field = nextField(line);
        const auto dash = range.find('-');
        const auto inode = parseUInt64(fields[3]);
        if (dash == std::string_view::npos || fields[0].size() < 3 || fields[0][2] != 'x' || !inode) continue;
        MappedCode code;
        if (!parseHex(range.substr(0, dash), code.start) || !parseHex(range.substr(dash + 1), code.end) ||
            code.end < code.start)
            continue;
        code.inode = *inode;
        // An offset or device that does not read leaves nothing to compare the pages with.
        std::uint64_t offset = 0, major = 0, minor = 0;
        const auto colon = fields[2].find(':');
        if (parseHex(fields[1], offset) && colon != std::string_view::npos && parseHex(fields[2].substr(0, colon), major) &&
            parseHex(fields[2].substr(colon + 1), minor) && major <= UINT32_MAX && minor <= UINT32_MAX && offset != UINT64_MAX) {
            code.offset = offset;
            code.major = static_cast<unsigned>(major);
            code.minor = static_cast<unsigned>(minor);
        }
        const auto from = line.find_first_not_of(' ');
        if (from != std::string_view::npos) code.path = std::string(line.substr(from));
        out.push_back(std::move(code));
    }
    return out;
}

std::optional<std::vector<MappedCode>> mappedCode(std::int32_t pid) {
    const auto maps = readFile(procFile(pid, "maps"), maximumMapBytes);
    if (!maps) return std::nullopt;
    return parseMappedCode(*maps);
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

bool isLoaderVariable(std::string_view name) {
    return name.starts_with("LD_") ||
           std::find(std::begin(loaderVariables), std::end(loaderVariables), name) != std::end(loaderVariables);
}

bool inSystemLibraries(std::string_view path) {
    for (const std::string_view folder : {"/usr/lib/", "/usr/lib32/", "/usr/lib64/", "/usr/libx32/", "/lib/", "/lib32/",
                                          "/lib64/", "/libx32/"})
        if (path.starts_with(folder) && path.find("/../") == std::string_view::npos) return true;
    return false;
}

std::optional<ProcessCode> readProcessCode(std::int32_t pid) {
    auto mapped = mappedCode(pid);
    const auto tracer = processTracer(pid);
    auto environment = processEnvironmentNames(pid);
    if (!mapped || !tracer || !environment) return std::nullopt;
    return ProcessCode{std::move(*mapped), *tracer, std::move(*environment)};
}

ForeignCodeFound findForeignCode(const std::optional<ProcessCode>& process,
                                 const std::function<bool(const MappedCode&)>& sealed) {
    if (!process) return {ForeignCode::unreadable, "its map, status or environment"};
    for (const auto& code : process->mapped) {
        // The kernel's own pages: the same in every process, or (uprobes) put there for a
        // probe only the administrator can set.
        if (code.path == "[vdso]" || code.path == "[vsyscall]" || code.path == "[uprobes]") continue;
        // Anonymous memory, the stack or the heap made executable, a shared memory segment.
        if (!code.path.starts_with('/')) return {ForeignCode::anonymousCode, code.path};
        if (!inSystemLibraries(code.path) && !sealed(code)) return {ForeignCode::foreignFile, code.path};
    }
    if (process->tracer != 0) return {ForeignCode::tracer, std::to_string(process->tracer)};
    for (const auto& name : process->environment)
        if (isLoaderVariable(name)) return {ForeignCode::loaderVariable, name};
    return {ForeignCode::none, {}};
}

std::string describe(const ForeignCodeFound& found) {
    switch (found.kind) {
    case ForeignCode::none: return "no foreign code";
    case ForeignCode::unreadable: return "the process cannot be looked at (" + found.what + ")";
    case ForeignCode::foreignFile: return "code from a file outside its bundle and the system's libraries (" + found.what + ")";
    case ForeignCode::anonymousCode:
        return "executable memory of no file (" + (found.what.empty() ? std::string("anonymous") : found.what) + ")";
    case ForeignCode::writtenCode: return "code written in memory (" + found.what + ")";
    case ForeignCode::tracer: return "a tracer (pid " + found.what + ")";
    case ForeignCode::loaderVariable: return "a loader variable in its environment (" + found.what + ")";
    case ForeignCode::unsettled: return "code that differs from its file by breakpoints, to be looked at again (" + found.what + ")";
    case ForeignCode::late: return "code that could not be compared with its files in time";
    }
    return "foreign code";
}

FileView::FileView(const MappedCode& code, std::uint64_t pageSize, int self)
    : file_(::open(code.path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)), self_(self), offset_(code.offset) {
    struct stat file {};
    const bool same = file_.valid() && self_ >= 0 && code.offset != UINT64_MAX && ::fstat(file_.get(), &file) == 0 &&
                      S_ISREG(file.st_mode) && file.st_ino == code.inode && major(file.st_dev) == code.major &&
                      minor(file.st_dev) == code.minor;
    // Only the pages that hold some of the file (the last one filled up with zeros, as the
    // peer's is): a page past its end has no bytes to show.
    if (!same || code.offset >= static_cast<std::uint64_t>(file.st_size)) return;
    const std::uint64_t rest = static_cast<std::uint64_t>(file.st_size) - code.offset;
    length_ = std::min(code.end - code.start, (rest + pageSize - 1) / pageSize * pageSize);
    void* view = length_ ? ::mmap(nullptr, length_, PROT_READ, MAP_PRIVATE, file_.get(), static_cast<off_t>(code.offset))
                         : MAP_FAILED;
    view_ = view == MAP_FAILED ? nullptr : view;
}

FileView::~FileView() {
    if (view_) ::munmap(view_, length_);
}

FileView::Match FileView::compare(std::uint64_t at, const unsigned char* bytes, std::size_t size) {
    if (!view_ || at >= length_ || size > length_ - at) return Match::other;
    shown_.resize(size);
    if (!readAll(self_, shown_.data(), size, reinterpret_cast<std::uintptr_t>(view_) + at)) return Match::other;
    // Our view holds only the file's bytes and the kernel's breakpoints.
    if (std::memcmp(bytes, shown_.data(), size) == 0) return Match::same;
    own_.assign(size, 0);  // past the file's end, zeros
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::pread(file_.get(), own_.data() + done, size - done, static_cast<off_t>(offset_ + at + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Match::other;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    Match match = Match::same;
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] == own_[i] || (bytes[i] == breakpoint && shown_[i] == breakpoint)) continue;
        if (bytes[i] != breakpoint) return Match::other;
        match = Match::breakpoints;
    }
    return match;
}

ForeignCodeFound lookAtCodePages(std::int32_t pid, const std::vector<MappedCode>& mapped, SecondLook second,
                                 Clock::time_point deadline) {
    const std::uint64_t size = pageSize();
    auto opened = openRegularFile(procFile(pid, "pagemap"));
    const auto* pagemap = std::get_if<FileDescriptor>(&opened);
    if (!pagemap) return {ForeignCode::unreadable, "its page map"};
    // The process's memory and our own (through which every view is read), opened only when a
    // page must be compared.
    std::optional<FileDescriptor> memory, self;
    std::vector<unsigned char> page(size);
    // Pages that differ only by breakpoints our view lacks: the mapping and the page's address.
    std::vector<std::pair<std::size_t, std::uint64_t>> unsettled;
    const auto compare = [&](FileView& view, const MappedCode& code, std::uint64_t address) {
        return readAll(memory->get(), page.data(), size, address) ? view.compare(address - code.start, page.data(), size)
                                                                  : FileView::Match::other;
    };
    std::uint64_t looked = 0, compared = 0;
    std::uint64_t entries[4096];
    for (std::size_t m = 0; m < mapped.size(); ++m) {
        const MappedCode& code = mapped[m];
        if (!code.path.starts_with('/')) continue;
        looked += (code.end - code.start) / size;
        if (looked > maximumCodePages) return {ForeignCode::unreadable, "its code spans more than 1 GiB"};
        std::optional<FileView> view;  // made on the mapping's first written page
        for (std::uint64_t index = code.start / size; index < code.end / size;) {
            if (Clock::now() > deadline) return {ForeignCode::late, {}};
            const std::uint64_t count = std::min<std::uint64_t>(std::size(entries), code.end / size - index);
            const ssize_t n =
                ::pread(pagemap->get(), entries, count * sizeof entries[0], static_cast<off_t>(index * sizeof entries[0]));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || n % sizeof entries[0] != 0) return {ForeignCode::unreadable, "its page map"};
            for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof entries[0]; ++i) {
                if (!isWrittenPage(entries[i])) continue;
                if (++compared > maximumComparedPages) return {ForeignCode::writtenCode, code.path};
                if (Clock::now() > deadline) return {ForeignCode::late, {}};
                // Where the peer's memory may not be read (Yama's ptrace_scope), nothing can be told.
                if (!memory) memory.emplace(::open(procFile(pid, "mem").c_str(), O_RDONLY | O_CLOEXEC));
                if (!memory->valid()) return {ForeignCode::unreadable, "its memory"};
                if (!self) self.emplace(::open("/proc/self/mem", O_RDONLY | O_CLOEXEC));
                if (!self->valid()) return {ForeignCode::unreadable, "the kernel's view of its files"};
                if (!view) view.emplace(code, size, self->get());
                const std::uint64_t address = (index + i) * size;
                switch (compare(*view, code, address)) {
                case FileView::Match::same: break;
                case FileView::Match::breakpoints: unsettled.emplace_back(m, address); break;
                case FileView::Match::other: return {ForeignCode::writtenCode, code.path};
                }
            }
            index += static_cast<std::uint64_t>(n) / sizeof entries[0];
        }
    }
    if (unsettled.empty()) return {ForeignCode::none, {}};
    const std::string& first = mapped[unsettled.front().first].path;
    if (second == SecondLook::none) return {ForeignCode::writtenCode, first};
    if (second == SecondLook::later) return {ForeignCode::unsettled, first};
    const auto again = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(secondLookSeconds));
    if (again > deadline) return {ForeignCode::late, {}};
    std::this_thread::sleep_until(again);
    // All of them again, each mapping with a fresh view, which shows the probes as they are now.
    // They come in the mappings' order: one view at a time, so that a peer with thousands of
    // such mappings never makes us hold a descriptor for each.
    std::optional<FileView> view;
    std::size_t viewed = mapped.size();
    for (const auto& [m, address] : unsettled) {
        if (Clock::now() > deadline) return {ForeignCode::late, {}};
        if (m != viewed) {
            view.reset();
            view.emplace(mapped[m], size, self->get());
            viewed = m;
        }
        if (compare(*view, mapped[m], address) != FileView::Match::same) return {ForeignCode::writtenCode, mapped[m].path};
    }
    return {ForeignCode::none, {}};
}

ForeignCodeFound lookAtPeer(std::int32_t pid, const std::function<bool(const MappedCode&)>& sealed, SecondLook second,
                            Clock::time_point deadline) {
    const auto process = readProcessCode(pid);
    auto found = findForeignCode(process, sealed);
    if (found.kind != ForeignCode::none) return found;
    return lookAtCodePages(pid, process->mapped, second, deadline);
}

}  // namespace norvane
