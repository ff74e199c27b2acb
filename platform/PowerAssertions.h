#pragma once
// Power-management assertions (what keeps a Mac from sleeping), kept in the machine
// folder's power/assertions.json: a process creates one and gets its id, releases it by
// that id, and everyone can list them by process. An assertion belongs to the process
// that created it and vanishes when that process is gone, as on a Mac, so a crashed
// program never leaves a hold behind: the creator keeps a file of power/holders/ locked while
// it lives, which tells its end to processes of any PID namespace that share the folder (a pid
// is unique only in its namespace). A creator counts as ended only when the system says so (its
// file gone, or its lock ours to take), never by a lock the file system cannot give, and never
// by itself: it makes its file again when the file went. The entries that other apps hold in the
// folder (the template's) have no creator of ours and stay.

#include <sys/file.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Machine.h"
#include "platform/Value.h"

namespace norvane {

class PowerAssertions {
public:
    // How a holder's file is locked (flock), or tried for its lock: a test stands in a file
    // system whose locks fail.
    using HolderLock = int (*)(int fd, int operation);
    explicit PowerAssertions(Machine machine, HolderLock lock = ::flock) : machine_(std::move(machine)), lock_(lock) {}

    // A new assertion of this process; absent when it could not be made (the file cannot
    // be read as assertions, or cannot be written).
    std::optional<std::uint32_t> create(std::string_view type, std::int64_t level, std::string_view name) const;
    // Releases an assertion of this process; false when it holds none with that id.
    bool release(std::uint32_t id) const;
    // The assertions by process, as the file holds them: a dictionary from process ids
    // (decimal text) to lists of assertion dictionaries ("AssertType", "AssertLevel",
    // "AssertName", "Process Name", …), without those whose creator is gone. An empty
    // dictionary without the file; absent when the file cannot be decoded.
    std::optional<Value> byProcess() const;

    const Machine& machine() const { return machine_; }

private:
    Machine machine_;
    HolderLock lock_;
};

// The PID namespace of this process (the inode of /proc/self/ns/pid); absent when unknown.
std::optional<std::uint64_t> ownPidNamespace();
// Whether an assertion entry was made by a process of another PID namespace than ours, whose
// pid therefore names no process of ours.
bool madeInAnotherPidNamespace(const Value& entry);

}  // namespace norvane
