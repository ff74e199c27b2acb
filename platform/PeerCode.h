#pragma once
// The look at a running peer's code: what a process shows of code other than its own sealed
// files and the system's libraries, or of a way to put such code into it. A Mac's kernel keeps
// foreign code out of a hardened, signed app; Linux does not, so the helper looks at the process
// it hears (and the app at its helper). The peer chooses what its memory, maps and environment
// hold and may change them while it is looked at, so every part of the look is bounded: what is
// read from /proc has a cap, the pages compared have a cap, and the look has a deadline.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"

namespace norvane {

// A mapping a process may run code from, as the kernel lists it in /proc/<pid>/maps: the
// file's path (with the kernel's " (deleted)" mark when it was removed) and inode, the kernel's
// name of a region of its own ("[vdso]", "[stack]"), or nothing for anonymous memory; its
// addresses, and for a file where its first page lies in it (offset and device, as the map
// writes them; an offset of UINT64_MAX when they do not read).
struct MappedCode {
    std::string path;
    std::uint64_t inode = 0;
    std::uint64_t start = 0, end = 0;
    std::uint64_t offset = UINT64_MAX;
    unsigned major = 0, minor = 0;
    bool operator==(const MappedCode&) const = default;
};
// The executable mappings of a map's text, in its order.
std::vector<MappedCode> parseMappedCode(std::string_view maps);
// Every executable mapping of the process; absent when its map cannot be read or holds more
// than `maximumMapBytes`.
std::optional<std::vector<MappedCode>> mappedCode(std::int32_t pid);
// A process's map beyond this is not read: a few hundred mappings take tens of kilobytes.
inline constexpr std::size_t maximumMapBytes = std::size_t{16} << 20;

// Who traces the process (TracerPid in /proc/<pid>/status): 0 for no one; absent when it
// cannot be read.
std::optional<std::int32_t> processTracer(std::int32_t pid);
std::optional<std::int32_t> parseTracer(std::string_view status);

// The names of the variables a process started with (/proc/<pid>/environ); absent when they
// cannot be read, or take more than `maximumEnvironmentBytes`.
std::optional<std::vector<std::string>> processEnvironmentNames(std::int32_t pid);
std::vector<std::string> parseEnvironmentNames(std::string_view environ);
inline constexpr std::size_t maximumEnvironmentBytes = std::size_t{4} << 20;

// What a running process shows of code other than its own sealed files and the system's
// libraries, or of a way to put such code into it; `none` when it shows nothing of the kind.
enum class ForeignCode {
    none,
    unreadable,      // its map, status, environment or page map cannot be read: nothing can be told
    foreignFile,     // a file mapped as code lies outside the system's library folders and is no
                     // sealed file of its bundle (the very inode now at that path)
    anonymousCode,   // executable memory that is no file, nor the kernel's [vdso] or [vsyscall]
    writtenCode,     // code pages of an allowed file written in memory
    tracer,          // another process traces it
    loaderVariable,  // its environment tells the loader, or a library it loads, where to find code
    unsettled,       // code pages differ from the kernel's view only by breakpoints the view
                     // lacks, and the look was not to wait: look again a moment later
    late,            // the pages could not be compared before the deadline
};

// What the look found, with what shows it (the file or region, the tracer's pid, the
// variable's name, what could not be read).
struct ForeignCodeFound {
    ForeignCode kind = ForeignCode::none;
    std::string what;
    bool operator==(const ForeignCodeFound&) const = default;
};
// In words, for a log and for the refused peer: "a loader variable in its environment (LD_PRELOAD)".
std::string describe(const ForeignCodeFound& found);

// What the cheap part of the look reads of a running process: every executable mapping, its
// tracer and the names in its environment.
struct ProcessCode {
    std::vector<MappedCode> mapped;
    std::int32_t tracer = 0;
    std::vector<std::string> environment;
};
// The process as it is now; absent when any part of it cannot be read.
std::optional<ProcessCode> readProcessCode(std::int32_t pid);

// Whether an environment variable tells the loader or a library the app loads where to find
// code, or changes how the loader runs: every LD_ variable, glibc's tunables, iconv's and Qt's
// plugin paths, and the module paths of GIO, GTK, OpenSSL and Mesa.
bool isLoaderVariable(std::string_view name);
// Whether a path lies in one of the system's library folders (/usr/lib, /lib and their 32- and
// 64-bit kin), which only the administrator can write.
bool inSystemLibraries(std::string_view path);

// The first thing the cheap part of the look shows of foreign code: the mappings (the kernel's
// own pages pass; anonymous code; a file outside the system's libraries that `sealed` does not
// take for one of its bundle's files), then its tracer, then its environment. No page is read.
ForeignCodeFound findForeignCode(const std::optional<ProcessCode>& process,
                                 const std::function<bool(const MappedCode&)>& sealed);

// A tracing tool's probe (a uprobe) is removed one process at a time: a peer the kernel has not
// reached yet still holds the breakpoint that our fresh view no longer shows. Such pages are
// looked at again, all together and once, this long after the first look.
inline constexpr double secondLookSeconds = 0.3;
// What to do with pages that differ from the kernel's view only by breakpoints it lacks.
enum class SecondLook {
    wait,   // look at them again after `secondLookSeconds`, waiting here
    later,  // tell `unsettled`: the caller looks again later, not holding its thread meanwhile
    none,   // this is the second look: they count as written
};
// No more of a process's pages are compared with their files than this (16 MiB of 4 KiB pages):
// beyond it a page that no longer comes from its file counts as written.
inline constexpr std::uint64_t maximumComparedPages = 4096;
// 1 GiB of code in 4 KiB pages: far more than any program maps. A process whose files' code
// spans more cannot be looked at.
inline constexpr std::uint64_t maximumCodePages = std::uint64_t{1} << 18;

// Whether a page of a private file mapping no longer comes from its file, by its page-map
// entry: present but no page of a file (a copy, written), or swapped out (only such copies are).
constexpr bool isWrittenPage(std::uint64_t entry) {
    const bool present = (entry >> 63) & 1, swapped = (entry >> 62) & 1, file = (entry >> 61) & 1;
    return (present && !file) || swapped;
}

// Whether the code pages of the process's files hold only what the kernel shows of those files:
// its page map (/proc/<pid>/pagemap) tells which pages no longer come from their file, and each
// of those is read from the process's memory and compared with the kernel's view of the file
// (`FileView`), the first written page ending the look. `none` when all are the kernel's;
// else `writtenCode` (the file), `unsettled`, `late` or `unreadable`.
ForeignCodeFound lookAtCodePages(std::int32_t pid, const std::vector<MappedCode>& mapped, SecondLook second,
                                 std::chrono::steady_clock::time_point deadline);

// The whole look: the cheap part first, then the pages.
ForeignCodeFound lookAtPeer(std::int32_t pid, const std::function<bool(const MappedCode&)>& sealed, SecondLook second,
                            std::chrono::steady_clock::time_point deadline);

// What the kernel shows of a mapped file: a private, read-only mapping of that very file (same
// device and inode) of our own, and the file's own bytes. The kernel puts a probe's breakpoints
// into every mapping of the file, ours too, but never into the file, and no one else writes into
// our mapping. So a peer's code page holds nothing that the peer, a library or a debugger wrote
// when each of its bytes is the file's own, or a breakpoint where our mapping shows one too. A
// probe is placed one process at a time: a peer not reached yet holds the file's byte, which is
// the file's code all the same. Our mapping is read through /proc/self/mem, never touched: a file
// cut short meanwhile then gives a read error, where a touch would end us with SIGBUS. That
// descriptor (`self`) is the caller's, one for a whole look: a view holds only its file's.
class FileView {
public:
    FileView(const MappedCode& code, std::uint64_t pageSize, int self);
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    // How the page at `at` bytes into the mapping compares with `bytes`: the kernel's, other only
    // by breakpoints our mapping does not show, or other (also when it cannot be told).
    enum class Match { same, breakpoints, other };
    Match compare(std::uint64_t at, const unsigned char* bytes, std::size_t size);

    static constexpr unsigned char breakpoint = 0xCC;  // int3, which a uprobe writes on x86

private:
    FileDescriptor file_;
    int self_ = -1;  // /proc/self/mem, the caller's
    std::uint64_t offset_ = 0;
    void* view_ = nullptr;
    std::uint64_t length_ = 0;
    std::vector<unsigned char> own_, shown_;
};

}  // namespace norvane
