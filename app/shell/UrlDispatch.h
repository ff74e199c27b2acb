#pragma once
// What one delivery of URLs does to the application: every URL is read first, then each
// command is carried out in order through the model's own actions. The commands answer no
// one; how an action went, the model's notes tell.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/shell/Command.h"
#include "app/shell/ModelTarget.h"
#include "platform/MainQueue.h"

namespace norvane {

// How long after a command the panel shows, so the user sees what it changed.
inline constexpr double panelShowsAfter = 0.6;

// The commands of the delivery, in order; URLs that are none are left out.
std::vector<Command> parseCommands(const std::vector<std::string>& urls);

// Carries out the commands. Opening a page, and Low Power asked for while the helper is
// not set up (so its set-up request is seen), each run `showPanel` 0.6 s later.
void dispatch(const std::vector<Command>& commands, ModelTarget& target, MainQueue& queue,
              const std::function<void()>& showPanel);

// How many commands may wait in the lane: four full hand-offs.
inline constexpr std::size_t maximumWaitingCommands = 64;
// How long a command may wait for its turn (on the uptime clock) before it is dropped unrun,
// as a hand-off the main queue reaches after its answer was due is.
inline constexpr double commandLateSeconds = 8;

// Carries out deliveries one command per turn of the main queue, in the order they came: a
// long delivery, or many at once, never holds the queue, and other work (an action run
// through Shortcuts) takes its turn in between. What waits is bounded, so a flood of
// deliveries delays a later one by moments, not minutes.
class CommandLane {
public:
    // `target` and `queue` must outlive the lane; commands left when it goes are dropped.
    CommandLane(ModelTarget& target, MainQueue& queue, std::function<void()> showPanel);
    // Queues the delivery whole; false, with nothing queued, when it would take the waiting
    // commands beyond `maximumWaitingCommands` (an idle lane takes any delivery).
    bool add(const std::vector<Command>& commands);

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace norvane
