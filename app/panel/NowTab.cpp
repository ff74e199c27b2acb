#include "app/panel/NowTab.h"

#include "platform/CommandLine.h"

namespace norvane {

NowTab NowTab::make(const std::vector<std::string>& arguments) {
    return {hasArgument(arguments, "--tip-open"), hasArgument(arguments, "--limit-open"), false};
}

void NowTab::tipChanged(const std::optional<std::string>& before, const std::optional<std::string>& now) {
    if (before && before != now) tipOpen = false;
}

NowTab::Headline NowTab::headline(const AppModel& m) {
    auto [title, detail] = m.headline();
    return {std::move(title), std::move(detail), m.headlineByAI()};
}

TextStyle NowTab::titleStyle() {
    return {.size = 15, .weight = FontWeight::medium, .wraps = true};
}

std::optional<NowTab::Chip> NowTab::chip(const AppModel& m, Color accent) const {
    // No charge to limit on a Mac without a battery, whatever the service says.
    if (!m.hasBattery() || !std::holds_alternative<availability::Ready>(m.limitAvailability())) return std::nullopt;
    if (m.fullOnce()) return Chip{"Full once", {accent, Color::black()}, "Charging to full once", limitOpen};
    if (m.limit() < 100) {
        const std::string limit = std::to_string(m.limit());
        return Chip{"Limit " + limit + "%", quietPill, "Charge limit " + limit + " percent", limitOpen};
    }
    return Chip{"Limit off", quietPill, "Charge limit off", limitOpen};
}

std::optional<NowTab::Choices> NowTab::choices(const AppModel& m) const {
    const LimitAvailability availability = m.limitAvailability();
    const auto* ready = std::get_if<availability::Ready>(&availability);
    if (!limitOpen || !ready || !m.hasBattery()) return std::nullopt;
    if (m.fullOnce())
        return FullOnceChoice{
            "Charging to 100% once. It can take a few minutes to start; after that macOS holds the "
            "charge as before.",
            !m.limitBusy()};
    LimitList list;
    list.options.push_back(100);
    list.options.insert(list.options.end(), ready->limits.begin(), ready->limits.end());
    list.segments = Segments<std::int64_t>{
        list.options, m.limit(), false, [](const std::int64_t& percent) {
            return percent > 99 ? std::string("OFF") : std::to_string(percent);
        }}.segments();
    list.enabled = !m.limitBusy();
    list.busy = m.limitBusy();
    list.offersFullOnce =
        m.battery().plugged && (m.limit() < 100 || std::holds_alternative<charging_state::Paused>(m.charging()));
    list.note = m.limitNote();
    return list;
}

const std::vector<ModelField>& NowTab::headlineFields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::battery,  F::forecast, F::apps,        F::drain,  F::usual,
                                                F::limit,    F::charger,  F::flow,        F::sleeps, F::fullOnce,
                                                F::wordings, F::useAI,    F::chargerFlags, F::hasBattery};
    return fields;
}

const std::vector<ModelField>& NowTab::limitFields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::limitAvailability, F::limit,     F::fullOnce,
                                                F::limitBusy,         F::limitNote, F::battery,
                                                F::charger,           F::flow,      F::chargerFlags,
                                                F::hasBattery};
    return fields;
}

}  // namespace norvane
