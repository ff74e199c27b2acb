// The keep-awake card: its state, status, holders and floor lines, chips and lid row.
// The lists under the chips are in AwakeCardLists.cpp.

#include "app/visuals/AwakeCard.h"

#include <algorithm>
#include <cmath>

#include "app/analysis/Duration.h"
#include "app/controls/AwakeHolders.h"
#include "platform/CommandLine.h"

namespace norvane {
namespace {

constexpr double halfHour = 1800;

// 1 January 2001, 00:00:00 UTC, from which the half hours are counted.
constexpr Date referenceDate{978'307'200};

// The first half-hour boundary at or after `t`.
Date halfHourAtOrAfter(Date t) {
    return referenceDate + std::ceil((t - referenceDate) / halfHour) * halfHour;
}

// A count taken from a span of time: only a finite value within the range reaches the
// conversion. A timer's minutes come unchecked from the defaults, URLs and `--awake`,
// so its end may lie beyond any count of seconds.
std::int64_t wholeClamped(double value, double low, double high) {
    if (std::isnan(value)) return static_cast<std::int64_t>(low);
    return static_cast<std::int64_t>(std::clamp(value, low, high));
}
constexpr double manySeconds = 1e15;  // some thirty million years

bool holding(const AppModel& m) { return std::holds_alternative<AwakeStatus::Holding>(m.awakeState().value); }

template <class Mode>
bool modeIs(const AppModel& m) {
    return std::holds_alternative<Mode>(m.awakeMode().value);
}

}  // namespace

std::string short_(std::int64_t minutes) {
    if (minutes > 59 && minutes % 60 == 0) return std::to_string(minutes / 60) + " h";
    if (minutes > 59) return duration(minutes);
    return std::to_string(minutes) + " min";
}

AwakeCard AwakeCard::make(Color accent, const std::vector<std::string>& arguments, Date now) {
    std::optional<Choice> open;
    if (hasArgument(arguments, "--awake-agents")) open = Choice::agents;
    else if (hasArgument(arguments, "--awake-apps")) open = Choice::app;
    else if (hasArgument(arguments, "--awake-timer")) open = Choice::timer;
    return {accent, open, halfHourAtOrAfter(now + halfHour)};
}

void AwakeCard::setOpen(std::optional<Choice> choice, AppModel& m) {
    const bool changed = choice != open;
    open = choice;
    if (changed && choice == Choice::agents) m.refreshAgents();
}

TextStyle AwakeCard::label() { return {.size = 13, .weight = FontWeight::medium}; }

// ---- Status ----

std::string AwakeCard::countdownText(Date end, Date at) {
    return countdown(wholeClamped(std::ceil(end - at), -1, manySeconds));
}

AwakeCard::Status AwakeCard::status(const AppModel& m, Date now) {
    Status out{std::nullopt, std::nullopt, m.awakeCaption()};
    if (const auto& session = m.awake()) {
        if (const auto* timer = std::get_if<AwakeMode::Timer>(&session->mode.value)) {
            const Date end = session->started + static_cast<double>(timer->minutes) * 60.0;
            const std::int64_t minutes = wholeClamped(std::trunc((end - now) / 60), 1, manySeconds);
            out.countdown = Countdown{end, holding(m) ? Color::white() : Color::white(0.35),
                                      "Timer, " + duration(minutes) + " left"};
            return out;
        }
    }
    if (const auto* app = std::get_if<AwakeMode::App>(&m.awakeMode().value); app && on(m))
        out.app = AppMark{app->path, 16, true};
    return out;
}

std::optional<std::string> AwakeCard::holdersLine(const AppModel& m) {
    auto line = norvane::holdersLine(m.holders());
    if (line && !line->empty() && on(m) && holding(m)) line = "Also k" + line->substr(1);
    return line;
}

std::optional<std::string> AwakeCard::floorLine(const AppModel& m) {
    if (!on(m) || m.battery().plugged || !holding(m)) return std::nullopt;
    const auto minutes = minutesToFloor(m.battery().percent, m.awakeFloor(), m.drain());
    return "Lets the Mac sleep at " + std::to_string(m.awakeFloor()) + "% battery" +
           (minutes ? ", in about " + duration(*minutes) + "." : ".");
}

// ---- Chips ----

std::array<AwakeCard::Chip, 4> AwakeCard::chips(const AppModel& m) const {
    const bool lit = on(m);
    const auto chip = [&](std::string title, bool selected, std::optional<Choice> opens, std::string help = {}) {
        const Pill pill = !selected ? Pill{Color::white(0.1), Color::white()}
                          : lit     ? Pill{Color::white(0.9), Color::black()}
                                    : Pill{Color::white(0.3), Color::white()};
        return Chip{std::move(title), selected, opens, pill, opens && opens == open, std::move(help)};
    };
    const auto* timer = std::get_if<AwakeMode::Timer>(&m.awakeMode().value);
    return {chip("No limit", modeIs<AwakeMode::UntilStopped>(m), std::nullopt),
            chip(timer ? short_(timer->minutes) : "Timer", timer != nullptr, Choice::timer),
            chip("Agents", modeIs<AwakeMode::Agents>(m), Choice::agents,
                 "Keeps the Mac awake while a coding agent is working, and lets it sleep five minutes after the "
                 "last one stops"),
            chip("App", modeIs<AwakeMode::App>(m), Choice::app)};
}

void AwakeCard::tapChip(std::size_t index, AppModel& m) {
    const auto toggle = [&](Choice choice) { setOpen(open == choice ? std::nullopt : std::optional(choice), m); };
    switch (index) {
        case 0:
            setOpen(std::nullopt, m);
            m.startAwake(AwakeMode::untilStopped());
            break;
        case 1: toggle(Choice::timer); break;
        case 2:
            if (!(on(m) && modeIs<AwakeMode::Agents>(m))) m.startAwake(AwakeMode::agents());
            toggle(Choice::agents);
            break;
        case 3: toggle(Choice::app); break;
        default: break;
    }
}

Segments<bool> AwakeCard::lidPicker(const AppModel& m) {
    return {{false, true}, m.awakeLid(), false, [](const bool& stay) { return std::string(stay ? "STAY AWAKE" : "SLEEP"); }};
}

// ---- Timer list ----

const std::vector<AwakeCard::Preset>& AwakeCard::presets() {
    static const std::vector<Preset> all = [] {
        std::vector<Preset> out;
        for (std::int64_t m : {15, 30, 60, 120, 240, 480}) {
            if (m <= 59) out.push_back({m, std::to_string(m) + "m", std::to_string(m) + " minutes"});
            else out.push_back({m, std::to_string(m / 60) + "h", std::to_string(m / 60) + (m == 60 ? " hour" : " hours")});
        }
        return out;
    }();
    return all;
}

TextStyle AwakeCard::untilStyle() { return {.size = 13, .weight = FontWeight::medium, .monospaced = true}; }

void AwakeCard::choosePreset(std::int64_t minutes, AppModel& m) {
    m.startAwake(AwakeMode::timer(minutes));
    setOpen(std::nullopt, m);
}

void AwakeCard::earlier(Date now) { until = std::max(until - halfHour, halfHourAtOrAfter(now)); }

void AwakeCard::later(Date now) { until = std::min(until + halfHour, now + 86'400.0); }

std::int64_t AwakeCard::minutesUntil(Date until, Date now) {
    // `until` is never more than a day ahead; one that has passed starts a minute.
    return wholeClamped(std::ceil((until - now) / 60), 1, 24 * 60);
}

void AwakeCard::start(AppModel& m, Date now) {
    m.startAwake(AwakeMode::timer(minutesUntil(until, now)));
    setOpen(std::nullopt, m);
}

}  // namespace norvane
