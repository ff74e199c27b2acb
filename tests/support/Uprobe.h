#pragma once
// A probe that the kernel places at an offset of a file (a uprobe, through the tracing file
// system), as a tracing tool or an observability agent does: the kernel writes a breakpoint
// into a private copy of that code page in every process that maps the file. Removed with the
// object. It needs the administrator's right to write the kernel's tracing files.
//
// A probe outlives a test that was killed (CTest's time-out), and the tracing files are the
// whole machine's, shared by test runs side by side. So each probe of ours is named
// norvane_<random>/probe, and its placer holds /tmp/norvane-uprobes/<random> locked while it
// lives; placing a probe first removes those of ours whose placer is gone. The journeys'
// probes (tests/journeys/helper_switch.py) follow the same rule.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "platform/Files.h"

namespace norvane::testing {

// Where a byte of code lies: a file and its offset there.
struct CodeLocation {
    Path file;
    std::uint64_t offset = 0;
};

class Uprobe {
public:
    // Placed and switched on, or why it cannot be (no tracing file system, no right to write it).
    static std::variant<Uprobe, std::string> place(const Path& file, std::uint64_t offset);
    // Where this process maps a function's first instruction from; absent when no file holds it.
    static std::optional<CodeLocation> of(const void* function);

    Uprobe(Uprobe&& other) noexcept;
    Uprobe& operator=(Uprobe&&) = delete;
    Uprobe(const Uprobe&) = delete;
    ~Uprobe();

private:
    Uprobe(Path tracing, std::string event, Path holder, int lock)
        : tracing_(std::move(tracing)), event_(std::move(event)), holder_(std::move(holder)), lock_(lock) {}
    Path tracing_;
    std::string event_;  // "group/name"; empty once moved from
    Path holder_;        // the file its placer holds locked
    int lock_ = -1;
};

}  // namespace norvane::testing
