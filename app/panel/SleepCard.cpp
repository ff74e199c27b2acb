#include "app/panel/SleepCard.h"

#include <algorithm>

#include "app/analysis/Duration.h"
#include "app/visuals/ChargeTone.h"
#include "platform/Text.h"

namespace norvane {

std::optional<std::string> SleepCard::topReason(const std::map<std::string, std::int64_t>& reasons) {
    const std::pair<const std::string, std::int64_t>* top = nullptr;
    for (const auto& reason : reasons)
        if (!top || reason.second > top->second) top = &reason;
    return top ? std::optional(top->first) : std::nullopt;
}

std::string SleepCard::wakeLine(const SleepStretch& stretch) {
    const auto reason = topReason(stretch.reasons);
    if (stretch.wakes == 0) return "Slept through";
    if (stretch.wakes == 1) return "Woke once" + (reason ? ": " + *reason : "");
    return "Woke " + std::to_string(stretch.wakes) + "×" + (reason ? ", mostly " + *reason : "");
}

SleepCard SleepCard::make(const std::vector<SleepStretch>& sleeps, Color accent, const DateFormatter& format) {
    SleepCard card;
    // Whole minutes are summed and only then made hours: fractions of an hour do not add up
    // exactly (10 + 40 + 10 minutes would fall short of one hour). A double holds whole
    // minutes exactly for any real span, and absurd stretches cannot overflow it.
    double minutes = 0, loss = 0;
    for (const auto& stretch : sleeps) {
        if (!stretch.onBattery) continue;
        minutes += static_cast<double>(stretch.minutes());
        loss += static_cast<double>(std::max<std::int64_t>(stretch.lost(), 0));
    }
    if (minutes >= 60) card.drain = formatFixed(loss / (minutes / 60), 1) + "% an hour on battery";

    const std::size_t count = std::min(sleeps.size(), shown);
    for (auto it = sleeps.rbegin(); it != sleeps.rbegin() + static_cast<std::ptrdiff_t>(count); ++it) {
        const SleepStretch& s = *it;
        const double perHour = s.perHour();
        Row row;
        row.start = s.start;
        row.time = format.weekdayAndTime(s.start) + " · " + duration(s.minutes());
        row.bar = {s.onBattery ? perHour * 0.5 : 0, perHour >= 1.0 ? signalRed : accent};
        if (!s.onBattery)
            row.loss = "wall";
        else if (s.lost() <= 0)
            row.loss = "0%";
        else
            row.loss = "−" + std::to_string(s.lost()) + "%";
        row.wakes = wakeLine(s);
        row.accessibility = row.time + ", " + row.loss + ", " + row.wakes;
        card.rows.push_back(std::move(row));
    }
    return card;
}

const std::vector<ModelField>& SleepCard::fields() {
    static const std::vector<ModelField> fields{ModelField::sleeps};
    return fields;
}

}  // namespace norvane
