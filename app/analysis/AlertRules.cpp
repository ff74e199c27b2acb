#include "app/analysis/AlertRules.h"

#include "app/analysis/Duration.h"
#include "app/analysis/Levels.h"

namespace norvane {

std::string title(const Alert& alert) {
    if (const auto* low = std::get_if<alert::Low>(&alert))
        return "About " + duration(low->minutes) + " of battery left";
    return "Charged to your " + std::to_string(std::get<alert::Limit>(alert).percent) + "% limit";
}

std::vector<Alert> AlertRules::due(const Battery& battery, const std::optional<Forecast>& forecast,
                                   std::int64_t limit) {
    if (battery.plugged) {
        lowSent = false;
        if (limit < 100 && battery.percent >= limit) {
            if (limitSent) return {};
            limitSent = true;
            return {alert::Limit{limit}};  // the limit, not the percent: it may have overshot
        }
        if (battery.percent <= levelPlus(limit, -5)) limitSent = false;
        return {};
    }
    limitSent = false;
    if (!forecast) return {};
    if (forecast->minutes < 30) {
        if (lowSent) return {};
        lowSent = true;
        return {alert::Low{forecast->minutes}};
    }
    if (forecast->minutes >= 45) lowSent = false;
    return {};
}

}  // namespace norvane
