// The keep-awake card's agent and app lists and the row they share.

#include <algorithm>
#include <cstddef>

#include "app/controls/Agent.h"
#include "app/visuals/AwakeCard.h"
#include "platform/Text.h"

namespace norvane {
namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

AwakeCard::AgentList AwakeCard::agentList(const AppModel& m, const LocaleText& lists) const {
    AgentList out;
    for (const Agent& agent : agents()) {
        const std::string& name = agent.name;
        if (!contains(m.agentsInstalled(), name)) continue;
        const bool ignored = m.agentsIgnored().contains(name);
        const bool working = contains(m.agentsWorking(), name);
        const std::string state = ignored   ? "Ignored"
                                  : working ? "Working"
                                  : contains(m.agentsRunning(), name) ? "Waiting"
                                                                      : "Not running";
        const Color mark = ignored ? Color::white(0.3) : working ? accent : Color::white(0.9);
        out.rows.push_back({name, state, ignored, DotGlyph{agent.mark, mark, 2.5},
                            ignored ? Color::white(0.45) : Color::white(), name + ", " + lowercased(state),
                            ignored ? "Counts this agent" : "Stops counting this agent"});
    }
    if (out.rows.empty()) {
        std::vector<std::string> names;
        for (const Agent& agent : agents()) names.push_back(agent.name);
        out.none = "No coding agent found on this Mac. Norvane knows " + lists.conjunction(names) + ".";
    }
    return out;
}

AwakeCard::AppList AwakeCard::appList(const AppModel& m) const {
    AppList out;
    const auto* waited = std::get_if<AwakeMode::App>(&m.awakeMode().value);
    for (RunningApp& app : m.runningApps()) {
        const bool selected = on(m) && waited && waited->path == app.path;
        AppMark mark{app.path, 22, true};
        out.rows.push_back({std::move(app), selected, std::move(mark)});
    }
    out.height = appListHeight(out.rows.size());
    // The height of the list needs a row at least; without one a short note stands instead.
    if (out.rows.empty()) out.none = "No app is running.";
    return out;
}

double AwakeCard::appListHeight(std::size_t apps) {
    if (apps == 0) return 0;
    return (Row::height + Row::gap) * static_cast<double>(std::min<std::size_t>(apps, 5)) - Row::gap;
}

void AwakeCard::chooseApp(const std::string& path, AppModel& m) {
    m.startAwake(AwakeMode::app(path));
    setOpen(std::nullopt, m);
}

AwakeCard::Row AwakeCard::row(bool selected) const {
    return {selected ? accent : Color::clear(), Color::white(selected ? 0 : 0.3)};
}

}  // namespace norvane
