#pragma once
// The forecast and charge-limit alerts: little time left on battery, charged to the limit
// on wall power. Each fires once per crossing and re-arms only after a clear move back.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/analysis/Forecast.h"
#include "app/readings/Battery.h"

namespace norvane {

namespace alert {

// Little time left on battery.
struct Low {
    std::int64_t minutes = 0;
    bool operator==(const Low&) const = default;
};
// Charged to the charge limit.
struct Limit {
    std::int64_t percent = 0;
    bool operator==(const Limit&) const = default;
};

}  // namespace alert

using Alert = std::variant<alert::Low, alert::Limit>;

// "About 25m of battery left", "Charged to your 80% limit".
std::string title(const Alert& alert);

// Kept by the model for the run; after a restart every alert is armed again.
struct AlertRules {
    bool lowSent = false;
    bool limitSent = false;

    // What is due now. `limit` is the charge limit in percent, 100 for none. The low alert
    // fires under 30 minutes and re-arms at 45 or on wall power; the limit alert fires at the
    // limit and re-arms 5 points under it or on battery.
    std::vector<Alert> due(const Battery& battery, const std::optional<Forecast>& forecast, std::int64_t limit);

    bool operator==(const AlertRules&) const = default;
};

}  // namespace norvane
