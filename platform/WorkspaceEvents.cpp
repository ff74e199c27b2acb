#include "platform/WorkspaceEvents.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <utility>

#include "platform/PropertyList.h"

namespace norvane {
namespace {

constexpr std::string_view eventsFile = "workspace/events.jsonl";
constexpr std::array<std::pair<WorkspaceEventKind, std::string_view>, 4> names{{
    {WorkspaceEventKind::activated, "activated"},
    {WorkspaceEventKind::terminated, "terminated"},
    {WorkspaceEventKind::willSleep, "willSleep"},
    {WorkspaceEventKind::didWake, "didWake"},
}};

std::optional<WorkspaceEvent> parseEvent(std::string_view line) {
    const auto value = parseJson(line);
    const Value* event = value ? value->find("event") : nullptr;
    const auto kind = event && event->asString() ? workspaceEventKind(*event->asString()) : std::nullopt;
    if (!kind) return std::nullopt;
    WorkspaceEvent out{*kind, std::nullopt};
    if (const Value* bundle = value->find("bundle"); bundle && bundle->asString() && !bundle->asString()->empty())
        out.bundlePath = *bundle->asString();
    return out;
}

}  // namespace

std::string_view rawValue(WorkspaceEventKind kind) {
    for (const auto& [k, name] : names)
        if (k == kind) return name;
    return {};
}

std::optional<WorkspaceEventKind> workspaceEventKind(std::string_view raw) {
    for (const auto& [kind, name] : names)
        if (name == raw) return kind;
    return std::nullopt;
}

WorkspaceEvents::Observation WorkspaceEvents::observe(WorkspaceEventKind kind, Handler handler) {
    auto shared = std::make_shared<const Handler>(std::move(handler));
    entries_.push_back({kind, shared});
    return shared;
}

void WorkspaceEvents::raise(const WorkspaceEvent& event) {
    std::erase_if(entries_, [](const Entry& entry) { return entry.handler.expired(); });
    // A copy: handlers may observe or stop observing while they are told.
    const std::vector<Entry> now = entries_;
    for (const Entry& entry : now) {
        if (entry.kind != event.kind) continue;
        if (const auto handler = entry.handler.lock()) (*handler)(event);
    }
}

MachineWorkspaceEvents::MachineWorkspaceEvents(Machine machine) : machine_(std::move(machine)) {
    const Path file = machine_.file(eventsFile);
    createDirectories(file.parent_path());
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && ::inotify_add_watch(watch_, file.parent_path().c_str(),
                                           IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0) {
        ::close(watch_);
        watch_ = -1;
    }
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) offset_ = static_cast<std::uintmax_t>(st.st_size);
}

MachineWorkspaceEvents::~MachineWorkspaceEvents() {
    if (watch_ >= 0) ::close(watch_);
}

void MachineWorkspaceEvents::deliverPending() {
    if (watch_ >= 0) {
        // Only the wake-up matters; the file says what happened.
        std::array<char, 4096> drained;
        while (::read(watch_, drained.data(), drained.size()) > 0) {
        }
    }
    const Path file = machine_.file(eventsFile);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) == 0) {
        const auto size = static_cast<std::uintmax_t>(st.st_size);
        if (size < offset_) offset_ = 0;  // the file was replaced: read the new one from its start
        text.resize(size - offset_);
        std::size_t got = 0;
        while (got < text.size()) {
            const auto n = ::pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(offset_ + got));
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        text.resize(got);
    }
    ::close(fd);
    // Only complete lines: the rest is still being written.
    const std::size_t end = text.rfind('\n');
    if (end == std::string::npos) return;
    offset_ += end + 1;
    std::vector<WorkspaceEvent> events;
    for (std::size_t start = 0; start <= end;) {
        const std::size_t stop = text.find('\n', start);
        if (auto event = parseEvent(std::string_view(text).substr(start, stop - start)))
            events.push_back(std::move(*event));
        start = stop + 1;
    }
    for (const auto& event : events)
        raise(event);
}

bool appendWorkspaceEvent(const Machine& machine, const WorkspaceEvent& event) {
    Value::Dictionary record;
    record.emplace("event", Value::string(std::string(rawValue(event.kind))));
    if (event.bundlePath) record.emplace("bundle", Value::string(*event.bundlePath));
    const auto line = writeJson(Value::dictionary(std::move(record)));
    return line && appendToFile(machine.file(eventsFile), *line + "\n") != AppendResult::failed;
}

}  // namespace norvane
