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

}  // namespace norvane
