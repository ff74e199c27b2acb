// Keep-awake: its settings, the state machine that decides on every tick whether the Mac
// is held awake, the card's actions and its status line.

#include <algorithm>

#include "app/analysis/AppUsage.h"
#include "app/analysis/Notifier.h"
#include "app/controls/Agent.h"
#include "app/controls/AgentTree.h"
#include "app/controls/ProcessSample.h"
#include "app/model/AppModel.h"
#include "app/model/DefaultsKeys.h"
#include "platform/CommandLine.h"

namespace norvane {
namespace {

constexpr double settlingSeconds = 6.0;  // a quiet session this young is still looking

bool isAgents(const AwakeMode& mode) { return std::holds_alternative<AwakeMode::Agents>(mode.value); }

// "Safari" for /Applications/Safari.app.
std::string watchedAppName(const std::string& path) { return path.empty() ? std::string() : appName(path); }

// The end of a timer: minutes come as they are from the defaults, URLs and `--awake`, so
// minutes × 60 is taken in double, which no count of minutes overflows.
Date timerEnd(const AwakeSession& session, std::int64_t minutes) {
    return session.started + static_cast<double>(minutes) * 60.0;
}

}  // namespace

void AppModel::setAgentsIgnored(std::set<std::string> names) {
    Value::Array stored;  // ascending, as the set keeps them
    for (const auto& name : names) stored.push_back(Value::string(name));
    assignSetting(agentsIgnored_, std::move(names), ModelField::agentsIgnored, keys::agentsIgnored,
                  Value::array(std::move(stored)));
}

void AppModel::setAwakeMode(AwakeMode mode) {
    Value stored = Value::string(mode.stored());
    assignSetting(awakeMode_, std::move(mode), ModelField::awakeMode, keys::awakeMode, std::move(stored));
}

void AppModel::setAwakeFloor(std::int64_t percent) {
    assignSetting(awakeFloor_, percent, ModelField::awakeFloor, keys::awakeFloor, Value::integer(percent));
}

void AppModel::setAwakePowerOnly(bool on) {
    assignSetting(awakePowerOnly_, on, ModelField::awakePowerOnly, keys::awakePowerOnly, Value::boolean(on));
    updateAwake(now());
}

void AppModel::setAwakeLid(bool on) {
    assignSetting(awakeLid_, on, ModelField::awakeLid, keys::awakeLid, Value::boolean(on));
    updateAwake(now());
}

void AppModel::startAwake(AwakeMode mode) {
    const bool agents = isAgents(mode);
    setAwakeMode(mode);
    assign(awakeNote_, std::optional<std::string>(), ModelField::awakeNote);
    assign(agentWatch_, AgentWatch{}, ModelField::agentWatch);
    assign(awake_, std::optional(AwakeSession{std::move(mode), now()}), ModelField::awake);
    defaults().set(keys::awakeAgents, Value::boolean(agents));
    updateAwake(now());
    awaitTimerEnd();
}

void AppModel::stopAwake(std::optional<std::string> because) {
    timerEnd_.cancel();
    assign(awake_, std::optional<AwakeSession>(), ModelField::awake);
    assign(awakeNote_, because ? std::optional("Ended: " + *because + ".") : std::nullopt, ModelField::awakeNote);
    assign(agentsWorking_, std::vector<std::string>(), ModelField::agentsWorking);
    assign(agentsRunning_, std::vector<std::string>(), ModelField::agentsRunning);
    defaults().set(keys::awakeAgents, Value::boolean(false));
    hold(false);
}

void AppModel::toggleAwake() {
    if (!awake_) return startAwake(awakeMode_);
    stopAwake();
}

void AppModel::updateAwake(Date now) {
    if (!awake_) return;
    const AwakeSession session = *awake_;
    const bool agents = isAgents(session.mode);
    if (agents) {
        const auto& trees = agentScan();
        std::vector<std::string> running;
        for (const auto& tree : trees) running.push_back(tree.name);
        std::sort(running.begin(), running.end());
        running.erase(std::unique(running.begin(), running.end()), running.end());
        assign(agentsRunning_, running, ModelField::agentsRunning);
        const bool unknown = std::any_of(running.begin(), running.end(), [&](const std::string& name) {
            return std::find(agentsInstalled_.begin(), agentsInstalled_.end(), name) == agentsInstalled_.end();
        });
        if (unknown) refreshAgents();

        std::vector<AgentTree> watched;
        std::copy_if(trees.begin(), trees.end(), std::back_inserter(watched),
                     [&](const AgentTree& tree) { return !agentsIgnored_.contains(tree.name); });
        AgentWatch watch = agentWatch_;
        watch.update(watched, now);
        auto working = watch.working(now);
        std::sort(working.begin(), working.end());
        assign(agentWatch_, std::move(watch), ModelField::agentWatch);
        assign(agentsWorking_, std::move(working), ModelField::agentsWorking);
    }

    if (const auto* timer = std::get_if<AwakeMode::Timer>(&session.mode.value); timer && now >= timerEnd(session, timer->minutes))
        return stopAwake("the timer ran out");
    if (const auto* app = std::get_if<AwakeMode::App>(&session.mode.value)) {
        const auto running = system_->workspace->runningApplications();
        const bool runs = std::any_of(running.begin(), running.end(),
                                      [&](const RunningApplication& a) { return a.bundlePath == app->path; });
        if (!runs) return stopAwake(watchedAppName(app->path) + " is not running");
    }

    const std::int64_t percent = battery_.percent;
    AwakeStatus state;
    bool on = false;
    if (!battery_.plugged && awakePowerOnly_) {
        state.value = AwakeStatus::Unplugged{};
    } else if (!battery_.plugged && percent <= awakeFloor_) {
        // Once per drop below the floor: while it lasts the state is no longer holding.
        if (std::holds_alternative<AwakeStatus::Holding>(awakeState_.value) && awakeHold_.sleepBlock().id != 0)
            Notifier::send(*system_->bundle, *system_->notifications, "Norvane lets your Mac sleep again",
                           "The battery is at " + std::to_string(percent) + "%. Stay awake resumes when you plug in.");
        state.value = AwakeStatus::LowBattery{};
    } else if (agents && agentsWorking_.empty()) {
        state.value = AwakeStatus::Quiet{};
    } else {
        state.value = AwakeStatus::Holding{};
        on = true;
    }
    assign(awakeState_, std::move(state), ModelField::awakeState);
    hold(on);
}

void AppModel::awaitTimerEnd() {
    timerEnd_.cancel();
    const auto* timer = awake_ ? std::get_if<AwakeMode::Timer>(&awake_->mode.value) : nullptr;
    if (!timer) return;
    const double left = timerEnd(*awake_, timer->minutes) - now();
    timerEnd_ = later(std::max(left, 0.0), [](AppModel& model) {
        model.updateAwake(model.now());
        model.awaitTimerEnd();
    });
}

void AppModel::hold(bool on) {
    const SleepBlock block = awakeHold_.sleepBlock();
    const auto guardOf = [this]() -> std::optional<std::int32_t> {
        const auto& guard = awakeHold_.lidGuard();
        return guard ? std::optional(guard->pid()) : std::nullopt;
    };
    const auto guard = guardOf();
    awakeHold_.hold(on, awakeLid_, system_->state->thermalState());
    if (!(awakeHold_.sleepBlock() == block)) observers_.changed(ModelField::sleepBlock);
    if (guardOf() != guard) observers_.changed(ModelField::lidGuard);
}

const std::vector<AgentTree>& AppModel::agentScan() {
    if (!agentScan_) {
        agentScan_ = agentTrees(readProcesses(*system_->processes));
        soon([](AppModel& model) { model.agentScan_.reset(); });
    }
    return *agentScan_;
}

void AppModel::refreshAgents() {
    std::vector<std::string> listed;
    if (hasArgument(system_->arguments, "--agents-all")) {
        for (const Agent& agent : agents()) listed.push_back(agent.name);
        return assign(agentsInstalled_, std::move(listed), ModelField::agentsInstalled);
    }
    std::set<std::string> found;
    for (const auto& tree : agentScan()) found.insert(tree.name);
    for (auto& name : installedAgents(agents(), homeFolder().string(), Disk::standard(system_->machine)))
        found.insert(std::move(name));
    for (const Agent& agent : agents())
        if (found.contains(agent.name)) listed.push_back(agent.name);
    assign(agentsInstalled_, std::move(listed), ModelField::agentsInstalled);
}

void AppModel::setAgent(const std::string& name, bool watched) {
    std::set<std::string> ignored = agentsIgnored_;
    if (watched) ignored.erase(name);
    else ignored.insert(name);
    setAgentsIgnored(std::move(ignored));
    updateAwake(now());
}

std::string AppModel::awakeCaption() const {
    if (!awake_) return awakeNote_.value_or("Off · the Mac sleeps as usual");
    const auto& state = awakeState_.value;
    if (std::holds_alternative<AwakeStatus::Quiet>(state))
        return now() - awake_->started < settlingSeconds ? "Looking at what the agents are doing…"
                                                        : "No agent is working · the Mac may sleep";
    if (std::holds_alternative<AwakeStatus::Unplugged>(state)) return "Paused on battery · resumes on wall power";
    if (std::holds_alternative<AwakeStatus::LowBattery>(state))
        return "Paused at " + std::to_string(awakeFloor_) + "% battery · resumes when plugged in";
    struct Caption {
        const AppModel& model;
        const AwakeSession& session;
        std::string operator()(const AwakeMode::Timer& t) const {
            return "left · until " + model.timeOfDay(timerEnd(session, t.minutes));
        }
        std::string operator()(const AwakeMode::App& a) const { return "While " + watchedAppName(a.path) + " is running"; }
        std::string operator()(const AwakeMode::UntilStopped&) const { return "Until you switch it off"; }
        std::string operator()(const AwakeMode::Agents&) const {
            const auto& working = model.agentsWorking_;
            return model.system_->localeText.conjunction(working) + (working.size() == 1 ? " is" : " are") + " working";
        }
    };
    return std::visit(Caption{*this, *awake_}, awake_->mode.value);
}

}  // namespace norvane
