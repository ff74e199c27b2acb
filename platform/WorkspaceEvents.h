#pragma once
// The workspace's announcements: an application became active, an application terminated,
// the Mac will sleep, the Mac woke. Observers are told on the main queue.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Machine.h"

namespace norvane {

enum class WorkspaceEventKind { activated, terminated, willSleep, didWake };

// "activated", "terminated", "willSleep", "didWake".
std::string_view rawValue(WorkspaceEventKind kind);
std::optional<WorkspaceEventKind> workspaceEventKind(std::string_view raw);

struct WorkspaceEvent {
    WorkspaceEventKind kind = WorkspaceEventKind::activated;
    // The application's bundle, a Mac path (activation and termination); absent for an
    // application without one and for sleep and wake.
    std::optional<std::string> bundlePath;
    bool operator==(const WorkspaceEvent&) const = default;
};

// Where the announcements meet their observers. Everything runs on the main queue.
class WorkspaceEvents {
public:
    using Handler = std::function<void(const WorkspaceEvent&)>;
    // Ends the observation when the last copy goes.
    using Observation = std::shared_ptr<const void>;

    virtual ~WorkspaceEvents() = default;

    // The handler is told of every event of the kind while the observation lives.
    [[nodiscard]] Observation observe(WorkspaceEventKind kind, Handler handler);
    // Tells the observers of the event's kind, in the order they came. A handler may end
    // observations or add new ones; those added are told from the next event on.
    void raise(const WorkspaceEvent& event);

private:
    struct Entry {
        WorkspaceEventKind kind;
        std::weak_ptr<const Handler> handler;
    };
    std::vector<Entry> entries_;
};

// The simulated Mac's source: `workspace/events.jsonl` of the machine folder, one JSON object
// a line ({"event": "terminated", "bundle": "/Applications/Mail.app"}). A test, a simulated
// command or the simulated workspace appends lines; the event loop watches `fd()` and calls
// `deliverPending()`, which raises every complete line added since it last looked. Lines
// that are no event are skipped; a line still being written waits for its line feed.
class MachineWorkspaceEvents final : public WorkspaceEvents {
public:
    // Starts at the file's present end: what was announced before is not told again.
    explicit MachineWorkspaceEvents(Machine machine);
    ~MachineWorkspaceEvents() override;
    MachineWorkspaceEvents(const MachineWorkspaceEvents&) = delete;
    MachineWorkspaceEvents& operator=(const MachineWorkspaceEvents&) = delete;

    // Readable when the workspace folder changed (inotify); -1 when it cannot be watched, and
    // then `deliverPending()` is called on a timer instead.
    int fd() const { return watch_; }
    void deliverPending();

private:
    Machine machine_;
    int watch_ = -1;
    std::uintmax_t offset_ = 0;  // bytes of the file already read
};

// Appends one event to the machine's `workspace/events.jsonl`; false when it cannot.
bool appendWorkspaceEvent(const Machine& machine, const WorkspaceEvent& event);

}  // namespace norvane
