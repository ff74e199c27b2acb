#include "app/analysis/Tip.h"

#include <cmath>

#include "app/analysis/Duration.h"
#include "platform/Text.h"

namespace norvane {

namespace {

namespace source {
const Source serviceCondition{"Apple: Check your Mac laptop battery's health",
                              "https://support.apple.com/en-us/102888"};
const Source maximizing{"Apple: Maximizing battery performance",
                        "https://www.apple.com/batteries/maximizing-performance/"};
const Source powerModes{"Apple: About Power Modes on your Mac", "https://support.apple.com/en-us/101613"};
const Source optimizedCharging{"Apple: About Optimized Battery Charging on your Mac",
                               "https://support.apple.com/en-us/102338"};
const Source whyLithiumIon{"Apple: Why lithium-ion?", "https://www.apple.com/batteries/why-lithium-ion/"};
const Source prolonging{"BU-808: How to Prolong Lithium-based Batteries",
                        "https://batteryuniversity.com/article/bu-808-how-to-prolong-lithium-based-batteries"};
const Source calendarAgeing{"Calendar Aging of Lithium-Ion Batteries: I. Impact of the Graphite Anode on Capacity Fade",
                            "https://doi.org/10.1149/2.0411609jes"};
const Source cellDegradation{
    "Degradation of Commercial Lithium-Ion Cells as a Function of Chemistry and Cycling Conditions",
    "https://doi.org/10.1149/1945-7111/abae37"};
}  // namespace source

// A share (0...1) in whole percent, rounded; a share with no such integer gives "0".
std::string roundedPercent(double share) {
    const double percent = std::round(share * 100);
    if (!(percent >= -0x1p63 && percent < 0x1p63)) return "0";
    return std::to_string(static_cast<std::int64_t>(percent));
}

Tip service(const TipContext& c) {
    return {"service",
            "The battery needs service",
            "Book a battery replacement with Apple or an authorised service. Battery settings show the condition.",
            "A new battery brings the capacity back. Until then the Mac is safe to use, Apple says: it only holds "
            "less charge.",
            "macOS reports Service Recommended" +
                (c.health ? ": the battery holds " + std::to_string(*c.health) + "% of what it did when new." : "."),
            Evidence::apple,
            {source::serviceCondition},
            tip_button::BatterySettings{}};
}

Tip heat(const TipContext& c) {
    return {"heat",
            "It's hot: charge later if you can",
            "Unplug the charger, or move the Mac somewhere cooler, and charge once it has cooled down.",
            "Less wear: Apple says heat above 35 °C can permanently reduce capacity, and charging in heat adds to it.",
            "macOS reports that the Mac is running hot while it charges" +
                (c.batteryTemperature ? "; the battery is at " + formatFixed(*c.batteryTemperature, 0) + "°." : "."),
            Evidence::appleResearch,
            {source::maximizing, source::prolonging},
            std::nullopt};
}

Tip heavyApp(const HeavyApp& app) {
    const std::string percent = roundedPercent(app.share);
    std::string effect;
    if (!app.gain)
        effect =
            "Not measured yet: Norvane needs about 15 seconds of readings on battery before it can estimate the gain.";
    else if (*app.gain < 1)
        effect = "Under a minute at the current draw: it matters less than its share suggests.";
    else
        effect = "About +" + duration(*app.gain) + " at the current draw" +
                 (app.early ? ": a first estimate, it settles within two minutes."
                            : ". An estimate from its share of the energy.") +
                 " After you quit, Norvane measures what really changed.";
    return {"heavy-app:" + app.path,
            app.name + " takes " + percent + "% of the energy",
            app.advice + ".",
            effect,
            app.name + " has used " + percent + "% of the measured energy" +
                (app.sustained ? " for more than two minutes." : " in the last readings."),
            Evidence::measured,
            {},
            app.inUse ? std::nullopt : std::optional<TipButton>(tip_button::Quit{app.path, app.name})};
}

Tip lowPower(std::int64_t minutes) {
    return {"low-power",
            "Low Power Mode adds time when you need it",
            "Switch Low Power Mode on until you can plug in.",
            "Apple gives no figure, and it depends on what you are doing. The time left above is measured again within "
            "seconds, so you will see what it gave.",
            "On battery with about " + duration(minutes) + " left.",
            Evidence::apple,
            {source::powerModes},
            tip_button::LowPower{}};
}

Tip dim() {
    return {
        "dim",
        "Dim the screen to stretch this charge",
        "Lower the brightness with the F1 key or in Control Centre, to the dimmest level that is still comfortable.",
        "This is Apple's own advice for the longest battery life; Apple gives no figure. Watch the time left above "
        "after you dim.",
        "On battery with under an hour left.",
        Evidence::apple,
        {source::maximizing},
        std::nullopt};
}

Tip chargeLimit(const TipContext& c) {
    return {"charge-limit",
            "Mostly plugged in? Set a charge limit",
            "Set the charge limit to 80%. macOS then stops charging there and resumes after a small drop.",
            "Less time spent at full charge, which is what wears a battery. How much that saves on a MacBook nobody "
            "has measured.",
            "This Mac spent " + roundedPercent(c.pluggedShare) + "% of the last week on the charger.",
            Evidence::appleResearch,
            {source::optimizedCharging, source::calendarAgeing},
            tip_button::SetLimit{}};
}

Tip optimizedCharging() {
    return {"optimized-charging",
            "Optimized Battery Charging is off",
            "Switch Optimized Battery Charging on in Battery settings, or set a charge limit here.",
            "Apple designed it to lengthen battery lifespan by cutting the time spent fully charged. Apple gives no "
            "figure.",
            "It is switched off, and no charge limit is set.",
            Evidence::apple,
            {source::optimizedCharging},
            tip_button::BatterySettings{}};
}

Tip noDeepDischarge() {
    return {"no-deep-discharge",
            "It ran nearly empty: get a reminder sooner",
            "Let Norvane notify you at 20%, and plug in then.",
            "Fewer deep discharges. In lab tests they wore cells out faster than shallow ones; Apple says there is no "
            "need to run a battery down.",
            "The battery dropped to 5% or lower in the last three days.",
            Evidence::appleResearch,
            {source::whyLithiumIon, source::cellDegradation},
            tip_button::AlertAt20{}};
}

Tip sleepDrain(const SleepStretch& sleep) {
    const std::string drop = std::to_string(sleep.lost());
    std::string why = "The last sleep on battery took " + drop + "% in " + duration(sleep.minutes());
    if (sleep.wakes >= 1) {
        why += ", with " + std::to_string(sleep.wakes) + " wakes";
        // The most frequent reason; of equal counts, the first by name.
        const std::pair<const std::string, std::int64_t>* most = nullptr;
        for (const auto& entry : sleep.reasons)
            if (!most || entry.second > most->second) most = &entry;
        if (most) why += ", mostly " + most->first;
    }
    why += ".";
    return {
        "sleep-drain",
        "It lost " + drop + "% while asleep",
        "Look at the last nights in Stats: they show how often the Mac woke and for what.",
        "Knowing the cause is the first step; Norvane cannot stop the wakes itself. Closing the app behind them, or "
        "the lid on a charger, usually does.",
        why,
        Evidence::measured,
        {},
        tip_button::ShowSleep{}};
}

Tip fullOnce(const TipContext& c) {
    return {"full-once",
            "Need a full battery today? Charge to 100% once",
            "Ask for one full charge before you leave the desk.",
            "macOS starts charging within a few minutes and holds the charge again afterwards. It is the same as "
            "Charge to Full Now in the battery menu.",
            "The charge is being held at " + std::to_string(c.battery.percent) + "% on purpose" +
                (c.limit > 99 ? ", by macOS." : ", by your " + std::to_string(c.limit) + "% limit."),
            Evidence::apple,
            {source::optimizedCharging},
            tip_button::FullOnce{}};
}

}  // namespace

std::string_view label(Evidence evidence) {
    switch (evidence) {
        case Evidence::measured: return "Measured on this Mac";
        case Evidence::apple: return "Apple guidance";
        case Evidence::appleResearch: return "Apple guidance, backed by research";
    }
    return "";
}

std::string title(const TipButton& button) {
    struct Title {
        std::string operator()(const tip_button::Quit& quit) const { return "Quit " + quit.name; }
        std::string operator()(tip_button::LowPower) const { return "Turn on Low Power"; }
        std::string operator()(tip_button::SetLimit) const { return "Set limit to 80%"; }
        std::string operator()(tip_button::FullOnce) const { return "Charge to 100% once"; }
        std::string operator()(tip_button::AlertAt20) const { return "Alert me at 20%"; }
        std::string operator()(tip_button::ShowSleep) const { return "Show the nights"; }
        std::string operator()(tip_button::BatterySettings) const { return "Open Battery settings"; }
    };
    return std::visit(Title{}, button);
}

std::vector<Tip> tips(const TipContext& c) {
    std::vector<Tip> out;
    const auto& m = c.forecastMinutes;
    if (c.serviceRecommended) out.push_back(service(c));
    if (c.battery.charging && c.runningHot) out.push_back(heat(c));
    if (!c.battery.plugged) {
        if (c.heavy) out.push_back(heavyApp(*c.heavy));
        if (!c.lowPower && m && *m <= 119) out.push_back(lowPower(*m));
        if (m && *m < 60) out.push_back(dim());
    }
    if (c.limitAvailable && c.limit >= 100 && c.pluggedShare >= 0.7) out.push_back(chargeLimit(c));
    if (c.optimisedOff && c.limit >= 100) out.push_back(optimizedCharging());
    if (c.ranNearlyEmpty && c.lowAlert == 0) out.push_back(noDeepDischarge());
    if (c.lastSleep && c.lastSleep->onBattery && c.lastSleep->lost() >= 5) out.push_back(sleepDrain(*c.lastSleep));
    if (c.held && !c.fullOnce && c.limitAvailable) out.push_back(fullOnce(c));
    return out;
}

std::optional<Tip> pickTip(const TipContext& context, const std::set<std::string>& dismissed) {
    for (auto& tip : tips(context))
        if (!dismissed.contains(tip.id)) return std::move(tip);
    return std::nullopt;
}

double pluggedShare(const std::vector<Sample>& samples, Date now) {
    std::size_t kept = 0;
    std::size_t plugged = 0;
    std::optional<Date> oldest;
    for (const auto& sample : samples) {
        if (!(now - sample.time <= 604'800 && sample.time <= now)) continue;
        ++kept;
        if (sample.plugged) ++plugged;
        if (!oldest || sample.time < *oldest) oldest = sample.time;
    }
    if (!oldest || now - *oldest < 86'400) return 0;
    return static_cast<double>(plugged) / static_cast<double>(kept);
}

}  // namespace norvane
