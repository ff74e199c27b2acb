#include "app/analysis/FullBySchedule.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {
constexpr std::int64_t minutesPerDay = 1440;
constexpr double sleepWindow = 43'200;  // 12 hours
}  // namespace

std::string_view rawValue(FullByMode mode) {
    switch (mode) {
        case FullByMode::off: return "off";
        case FullByMode::once: return "once";
        case FullByMode::daily: return "daily";
    }
    return "off";
}

std::optional<FullByMode> fullByMode(std::string_view raw) {
    for (auto mode : {FullByMode::off, FullByMode::once, FullByMode::daily})
        if (rawValue(mode) == raw) return mode;
    return std::nullopt;
}

Date nextFullBy(std::int64_t minutes, Date after, const Calendar& calendar) {
    const std::int64_t m = (minutes % minutesPerDay + minutesPerDay) % minutesPerDay;
    if (auto next = calendar.nextTime(static_cast<int>(m / 60), static_cast<int>(m % 60), after)) return *next;
    // The calendar could not form it: count the minutes from the start of the day.
    const Date guess = calendar.startOfDay(after).value_or(after) + static_cast<double>(m) * 60;
    return guess > after ? guess : guess + 86'400;
}

double fullByLead(std::int64_t percent, double capacityWh, std::optional<std::int64_t> chargerWatts) {
    const double need = std::max(0.0, 100.0 - static_cast<double>(percent)) / 100;
    const double watts = chargerWatts ? static_cast<double>(std::min<std::int64_t>(*chargerWatts, 100)) * 0.6 : 18.0;
    const double lead = capacityWh * need / std::max(watts, 1.0) * 3600 + 1800;
    // fmax before fmin: a lead that is not a number becomes the shortest, not NaN.
    return std::fmin(std::fmax(lead, 2700.0), 14'400.0);
}

FullByStep fullByStep(Date now, Date target, double lead) {
    if (now >= target) return FullByStep::passed;
    return now >= target - lead ? FullByStep::start : FullByStep::wait;
}

double FullBySchedule::fullByLeadNow() const {
    const Battery& b = battery();
    double capacityWh = static_cast<double>(b.rawMax) * static_cast<double>(b.millivolts) / 1'000'000;
    if (!(capacityWh > 10.0)) capacityWh = 60.0;
    const auto plugged = charger();
    return fullByLead(b.percent, capacityWh, plugged ? plugged->watts : std::nullopt);
}

bool FullBySchedule::fullByUseful() const {
    if (!std::holds_alternative<availability::Ready>(limitAvailability())) return false;
    return limit() < 100 || fullOnce().has_value();
}

void FullBySchedule::setFullBy(FullByMode mode, std::int64_t minutes, Date now, const Calendar& calendar) {
    cancelledFor_.reset();  // a setting chosen again is a new request
    setFullByMinutes(minutes);
    setFullByMode(mode);
    setFullByTarget(mode == FullByMode::off ? std::nullopt : std::optional(nextFullBy(minutes, now, calendar)));
}

std::string FullBySchedule::fullByLine(Date now, const Calendar& calendar, const DateFormatter& formatter) const {
    const auto target = fullByTarget();
    if (fullByMode() == FullByMode::off || !target) return "Off. The charge stays at the limit.";
    const auto targetDay = calendar.startOfDay(*target);
    const bool today = targetDay && targetDay == calendar.startOfDay(now);
    const std::string by = formatter.shortTime(*target) + " " + (today ? "today" : "tomorrow");
    if (cancelledFor_ == target)
        return "Charging to 100% for " + by + " is cancelled. " +
               (fullByMode() == FullByMode::once ? "The charge stays at the limit." : "It starts again for the next day.");
    const Battery& b = battery();
    if (fullOnce()) {
        // The system's own time to full says whether it makes it; without one, no estimate.
        if (b.charging && b.systemMinutes && *b.systemMinutes >= 0) {
            const Date full = now + static_cast<double>(*b.systemMinutes) * 60;
            if (full > *target)
                return "Charging to 100% has started. At this pace the battery is full at about " +
                       formatter.shortTime(full) + ", after " + by + ".";
        }
        return "Charging to 100% has started, to be full by " + by + ".";
    }
    const double lead = fullByLeadNow();
    if (now < *target - lead)
        return "Charging to 100% starts at about " + formatter.shortTime(*target - lead) + ", to be full by " + by +
               ". If the Mac goes to sleep on the charger before that, it starts then.";
    // The start time has passed: a charge that starts only now takes longer than is left.
    if (b.percent >= 100) return "The battery is full, ready for " + by + ".";
    return std::string(b.plugged ? "Charging to 100% starts now." : "Charging to 100% starts once the Mac is on the charger.") +
           " It may not be full by " + by + ".";
}

void FullBySchedule::followFullBy(Date now, const Calendar& calendar) {
    const auto target = fullByTarget();
    if (fullByMode() == FullByMode::off || !target) return;
    switch (fullByStep(now, *target, fullByLeadNow())) {
        case FullByStep::wait:
            return;
        case FullByStep::start:
            if (cancelledFor_ == target) return;
            if (battery().plugged && battery().percent < 100 && !fullOnce() && limit() <= 99) {
                startedFor_ = target;
                chargeFullOnce();
            }
            return;
        case FullByStep::passed:
            if (fullByMode() == FullByMode::once)
                setFullBy(FullByMode::off, fullByMinutes(), now, calendar);
            else
                setFullByTarget(nextFullBy(fullByMinutes(), now, calendar));
            return;
    }
}

void FullBySchedule::fullByBeforeSleep(Date now) {
    const auto target = fullByTarget();
    if (fullByMode() == FullByMode::off || !target || !(now < *target) || *target - now > sleepWindow) return;
    if (cancelledFor_ == target) return;
    if (!battery().plugged || battery().percent > 99 || fullOnce() || limit() > 99) return;
    // A setLimit or endFullOnce request may be using the backend; the limit it leaves
    // behind would undo this charge, or this charge would undo it.
    if (limitBusy()) return;
    const auto service = backend();
    if (!service) return;
    try {
        setFullOnce(service->chargeFullNow());
        startedFor_ = target;
    } catch (const Problem&) {
        // The Mac sleeps as it would have; the tick starts the charge at its time.
    }
}

void FullBySchedule::fullByCancelled(Date now) {
    const auto target = fullByTarget();
    if (fullByMode() == FullByMode::off || !target || !fullOnce()) return;
    if (startedFor_ == target || now >= *target - fullByLeadNow()) cancelledFor_ = target;
}

}  // namespace norvane
