#include "app/shell/UrlDispatch.h"

namespace norvane {
namespace {

template <typename... F>
struct Overloaded : F... {
    using F::operator()...;
};

}  // namespace

std::vector<Command> parseCommands(const std::vector<std::string>& urls) {
    std::vector<Command> commands;
    for (const auto& url : urls)
        if (auto command = parseCommand(url)) commands.push_back(std::move(*command));
    return commands;
}

void dispatch(const std::vector<Command>& commands, ModelTarget& target, MainQueue& queue,
              const std::function<void()>& showPanel) {
    AppModel& model = target.model();
    const auto showSoon = [&] { queue.after(panelShowsAfter, showPanel, ClockKind::uptime); };
    for (const Command& command : commands) {
        std::visit(Overloaded{
                       [&](const Command::Awake& awake) { model.startAwake(awake.mode); },
                       [&](const Command::LowPower& lowPower) {
                           if (target.lowPowerModeEnabled() != lowPower.on) model.setLowPower(lowPower.on);
                           if (!isReady(model.helperState())) showSoon();
                       },
                       [&](const Command::Limit& limit) {
                           model.refreshLimit();
                           model.setLimit(limit.percent);
                       },
                       [&](const Command::Open& open) {
                           model.setWantedTab(open.tab);
                           showSoon();
                       },
                       [&](const Command::AwakeOff&) { model.stopAwake(); },
                       [&](const Command::ChargeFull&) { model.chargeFullOnce(); },
                   },
                   command.value);
    }
}

struct CommandLane::State {
    struct Waiting {
        Command command;
        double added;  // on the uptime clock
    };
    ModelTarget& target;
    MainQueue& queue;
    std::function<void()> showPanel;
    std::deque<Waiting> waiting;

    // Posts the next step; at most one is ever in the queue.
    static void next(const std::shared_ptr<State>& state) {
        state->queue.post([weak = std::weak_ptr<State>(state)] {
            const auto self = weak.lock();
            if (!self) return;
            // What waited too long is dropped in one turn: it would only hold up what came after.
            const double now = self->queue.uptime();
            while (!self->waiting.empty() && now - self->waiting.front().added > commandLateSeconds)
                self->waiting.pop_front();
            if (self->waiting.empty()) return;
            const Command command = std::move(self->waiting.front().command);
            self->waiting.pop_front();
            dispatch({command}, self->target, self->queue, self->showPanel);
            if (!self->waiting.empty()) next(self);
        });
    }
};

CommandLane::CommandLane(ModelTarget& target, MainQueue& queue, std::function<void()> showPanel)
    : state_(std::make_shared<State>(State{target, queue, std::move(showPanel), {}})) {}

bool CommandLane::add(const std::vector<Command>& commands) {
    const bool idle = state_->waiting.empty();
    if (!idle && state_->waiting.size() + commands.size() > maximumWaitingCommands) return false;
    const double now = state_->queue.uptime();
    for (const Command& command : commands) state_->waiting.push_back({command, now});
    if (idle && !state_->waiting.empty()) State::next(state_);
    return true;
}

}  // namespace norvane
