#pragma once
// One piece of advice at a time, chosen from the battery's present state: what to do, what
// it gives, why now, how good the evidence is and where it comes from.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/analysis/Attention.h"
#include "app/readings/Battery.h"
#include "app/readings/HistoryStore.h"
#include "app/readings/SleepLog.h"
#include "platform/Time.h"

namespace norvane {

enum class Evidence { measured, apple, appleResearch };

// The label shown with the tip: "Measured on this Mac", "Apple guidance", "Apple guidance,
// backed by research".
std::string_view label(Evidence evidence);

struct Source {
    std::string name;  // the document's title
    std::string url;
    bool operator==(const Source&) const = default;
};

// The one action a tip may offer; the model and the panel carry it out.
namespace tip_button {
struct Quit {
    std::string path;  // the app's bundle path
    std::string name;
    bool operator==(const Quit&) const = default;
};
struct LowPower {
    bool operator==(const LowPower&) const = default;
};
struct SetLimit {
    bool operator==(const SetLimit&) const = default;
};
struct FullOnce {
    bool operator==(const FullOnce&) const = default;
};
struct AlertAt20 {
    bool operator==(const AlertAt20&) const = default;
};
struct ShowSleep {
    bool operator==(const ShowSleep&) const = default;
};
struct BatterySettings {
    bool operator==(const BatterySettings&) const = default;
};
}  // namespace tip_button

using TipButton = std::variant<tip_button::Quit, tip_button::LowPower, tip_button::SetLimit, tip_button::FullOnce,
                               tip_button::AlertAt20, tip_button::ShowSleep, tip_button::BatterySettings>;

// "Quit Safari", "Turn on Low Power", "Set limit to 80%", …
std::string title(const TipButton& button);

struct Tip {
    std::string id;  // stable for the same advice; dismissal keeps it
    std::string line;
    std::string action;
    std::string effect;
    std::string why;
    Evidence evidence = Evidence::measured;
    std::vector<Source> sources;
    std::optional<TipButton> button;
    bool operator==(const Tip&) const = default;
};

// The facts a tip is chosen from; the model fills them from its state.
struct TipContext {
    Battery battery;
    std::optional<std::int64_t> forecastMinutes;  // none when plugged in or not known yet
    bool lowPower = false;
    std::int64_t limit = 100;  // 100: none
    bool limitAvailable = false;
    bool held = false;      // plugged in and not charging, on purpose
    bool fullOnce = false;  // a one-time full charge is running
    bool optimisedOff = false;
    double pluggedShare = 0;                   // 0...1 of the last week
    bool ranNearlyEmpty = false;               // 5 % or lower in the last three days
    std::int64_t lowAlert = 0;                 // the user's low level; 0: off
    bool runningHot = false;                   // the system reports heat while charging
    std::optional<double> batteryTemperature;  // °C
    bool serviceRecommended = false;
    std::optional<std::int64_t> health;  // percent of the design capacity
    std::optional<HeavyApp> heavy;
    std::optional<SleepStretch> lastSleep;
    bool operator==(const TipContext&) const = default;
};

// Every tip that applies now, most pressing first.
std::vector<Tip> tips(const TipContext& context);
// The first tip of `tips` whose id is not dismissed.
std::optional<Tip> pickTip(const TipContext& context, const std::set<std::string>& dismissed);

// The share of the last seven days' samples taken on the charger; 0 with less than a day
// of history.
double pluggedShare(const std::vector<Sample>& samples, Date now);

}  // namespace norvane
