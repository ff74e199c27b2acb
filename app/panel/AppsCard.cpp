#include "app/panel/AppsCard.h"

#include <algorithm>
#include <cmath>

#include "app/analysis/AppEnergy.h"
#include "app/analysis/Situation.h"
#include "platform/Text.h"

namespace norvane {
namespace {

// "%.1f" of a finite figure after a prefix; "—" otherwise.
std::string approximately(const char* prefix, std::optional<double> value, const char* unit = "") {
    return known(value) ? prefix + formatFixed(*value, 1) + unit : notKnown;
}

std::string wholeShare(double share) {
    return std::isfinite(share) ? sharePercent(share) + "%" : notKnown;
}

}  // namespace

std::vector<AppUsage> AppsCard::list(const AppModel& m, AppPeriod period, Date now) {
    switch (period) {
        case AppPeriod::now: return m.apps();
        case AppPeriod::today: return m.ledger().totals(1, now, m.calendar());
        case AppPeriod::week: return m.ledger().totals(7, now, m.calendar());
    }
    return {};
}

std::string AppsCard::value(double share, AppMetric metric, std::optional<double> drain) {
    if (metric == AppMetric::share) return wholeShare(share);
    if (!known(drain)) return "···";
    return approximately("≈", share * *drain);
}

AppsCard AppsCard::make(const AppModel& m, AppPeriod period, AppMetric metric, Color accent, Date now) {
    AppsCard card;
    card.periodOptions = {AppPeriod::now, AppPeriod::today, AppPeriod::week};
    card.periods = Segments<AppPeriod>{card.periodOptions, period, false, [](const AppPeriod& p) {
                                           return std::string(rawValue(p));
                                       }}.segments();
    const bool live = period == AppPeriod::now;
    const bool perHour = live && metric == AppMetric::perHour;
    const auto drain = known(m.drain());
    const auto watts = known(m.usingWatts());
    const bool plugged = m.battery().plugged;
    if (live) {
        card.metricOptions = {AppMetric::share, AppMetric::perHour};
        card.metrics = Segments<AppMetric>{card.metricOptions, metric, false, [](const AppMetric& p) {
                                               return std::string(rawValue(p));
                                           }}.segments();
    }

    if (period == AppPeriod::today)
        card.description = "Share of the energy measured today";
    else if (period == AppPeriod::week)
        card.description = "Share of the energy over 7 days";
    else if (!perHour)
        card.description = "Share of the energy measured right now";
    else if (!watts)
        card.description = "Measuring the draw…";
    else
        card.description = "The Mac uses " + formatFixed(*watts, 1) + " W" +
                           (drain ? ": ≈" + formatFixed(*drain, 0) + "% of the battery an hour" : "") +
                           (plugged ? ", if unplugged" : "");

    const std::vector<AppUsage> apps = list(m, period, now);
    if (apps.empty()) card.empty = live ? "Measuring…" : "Nothing recorded yet.";
    for (std::size_t i = 0; i < std::min(apps.size(), shown); ++i) {
        const AppUsage& app = apps[i];
        const double part = share(app, apps);
        Row row{app, std::nullopt, DotBar{std::isfinite(part) ? part : 0, accent}, wholeShare(part)};
        if (live) {
            row.figure = value(part, metric, drain);
            if (perHour)
                row.detail = watts ? approximately("≈", part * *watts, " W") : "measuring…";
            else
                row.detail = std::to_string(app.processes) + " process" + (app.processes == 1 ? "" : "es");
        }
        card.rows.push_back(std::move(row));
    }

    if (perHour) {
        if (!drain)
            card.footnote = "The first figures take about 15 seconds: Norvane needs a few readings of the draw.";
        else if (m.drainEarly())
            card.footnote = "First figures, from under two minutes of readings. They settle as Norvane measures.";
        else
            card.footnote =
                "The measured draw, split by each app's share of the energy. The shares are macOS' estimates, so "
                "read these as approximate.";
        if (drain && plugged) *card.footnote += " On wall power this is what each app would cost on battery.";
    }
    return card;
}

const std::vector<ModelField>& AppsCard::fields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::apps,       F::ledger,  F::drain,    F::drainEarly,
                                                F::usingWatts, F::battery, F::iconStyle};
    return fields;
}

}  // namespace norvane
