#include "app/panel/TopApps.h"

#include <cmath>
#include <limits>

#include "app/analysis/AppEnergy.h"
#include "app/analysis/Duration.h"
#include "app/analysis/Situation.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr const char* dash = "—";

// Watts with one decimal; "—" for a figure that is not a finite number.
std::string watts(double value) {
    return std::isfinite(value) ? formatFixed(value, 1) : dash;
}

std::string shareText(double share) {
    return std::isfinite(share) ? sharePercent(share) + "%" : dash;
}

// What quitting an app of this share would add to `forecast` minutes.
std::string gainLine(std::int64_t forecast, double share) {
    const std::int64_t gain = gainMinutes(forecast, share);
    if (gain < 1) return "Quitting would add under a minute";
    std::int64_t after = 0;
    if (__builtin_add_overflow(forecast, gain, &after)) after = std::numeric_limits<std::int64_t>::max();
    return "If you quit: " + duration(forecast) + " → ≈" + duration(after) + " (≈+" + duration(gain) + ")";
}

}  // namespace

TopApps::QuitLine TopApps::quitLine(const QuitResult& r) {
    if (!r.wattsNow) return {"Measuring what quitting " + r.name + " changed: about 15 seconds.", std::nullopt};
    const std::string change = watts(r.wattsBefore) + " W → ≈" + watts(*r.wattsNow) + " W";
    if (r.wattsBefore * 1.05 < *r.wattsNow)
        return {"Since " + r.name + " quit the Mac uses more: " + change,
                "Something else is busy now: see the apps below."};
    std::string gain;
    if (r.gain) gain = *r.gain < 1 ? " · no time gained" : " · ≈+" + duration(*r.gain);
    return {"After quitting " + r.name + ": " + change + gain,
            r.early ? "A first reading. It settles within two minutes." : "Measured since the quit."};
}

TextStyle TopApps::accentLine(Color accent) {
    return {.size = 11, .color = accent, .wraps = true};
}
TextStyle TopApps::nameStyle() {
    return {.size = 13, .weight = FontWeight::medium};
}
TextStyle TopApps::shareStyle() {
    return {.size = 12, .monospaced = true};
}

TopApps::Card TopApps::card(const AppModel& m) {
    Card card;
    if (const auto result = m.quitResult()) card.quit = quitLine(*result);
    card.measuring = m.apps().empty();
    // The forecast that gains are worked out from: on battery, and the app's own estimate.
    const auto& forecast = m.forecast();
    const Forecast* minutes = !m.battery().plugged && forecast && forecast->smoothed ? &*forecast : nullptr;
    for (const auto& app : m.topApps()) {
        const double part = share(app, m.apps());
        Row row{app, shareText(part), m.advice(app), std::nullopt, Action::quit, "Quit " + app.name};
        if (minutes) row.gain = gainLine(minutes->minutes, part);
        if (m.workingIn() == app.id)
            row.action = Action::inUse, row.accessibility.clear();
        else if (m.quitting().contains(app.id))
            row.action = Action::quitting, row.accessibility = "Quitting " + app.name;
        card.rows.push_back(std::move(row));
    }
    if (card.rows.empty()) return card;
    if (m.battery().plugged)
        card.note = "Time gains appear when the Mac runs on battery.";
    else if (!minutes)
        card.note = "Measuring the draw: the first estimate takes about 15 seconds.";
    else if (minutes->early)
        card.note = "First estimates, from under two minutes of readings. They settle as Norvane measures.";
    else
        card.note = "Gains are rough estimates from each app's share, not a forecast.";
    return card;
}

const std::vector<ModelField>& TopApps::fields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::apps,    F::quitting, F::quitEffect, F::draws,
                                                F::battery, F::forecast, F::workingIn,  F::attention};
    return fields;
}

}  // namespace norvane
