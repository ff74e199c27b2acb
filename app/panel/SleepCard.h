#pragma once
// The Stats page's sleep card: the Mac's last five stretches of sleep, newest first, each
// with when it began and how long it lasted, the drain as a dot bar, the percent lost (or
// that it slept on wall power) and what woke it; the header gives the average drain of all
// recorded sleep on battery.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/DotBar.h"
#include "platform/DateFormatter.h"

namespace norvane {

struct SleepCard {
    struct Row {
        Date start;          // the row's identity
        std::string time;    // "Tue 10:00 PM · 7h 30m", in the user's locale
        DotBar bar;          // half the percent lost an hour; red from 1 % an hour
        std::string loss;    // "−3%", "0%", "wall"
        std::string wakes;   // "Slept through", "Woke once: …", "Woke 4×, mostly …"
        std::string accessibility;
        bool operator==(const Row&) const = default;
    };

    std::optional<std::string> drain;  // "1.2% an hour on battery", from an hour of sleep on battery
    std::vector<Row> rows;             // none: the empty note shows
    bool operator==(const SleepCard&) const = default;

    static SleepCard make(const std::vector<SleepStretch>& sleeps, Color accent, const DateFormatter& format);
    // The reason with the most wakes; of reasons with as many, the first in the text's
    // order, so the choice never changes between two draws. None without reasons.
    static std::optional<std::string> topReason(const std::map<std::string, std::int64_t>& reasons);
    static std::string wakeLine(const SleepStretch& stretch);

    static constexpr const char* title = "Sleep";
    static constexpr const char* empty = "Nothing yet: the list fills as the Mac sleeps and wakes.";
    static constexpr std::size_t shown = 5;
    static constexpr double spacing = 12;     // between the header, the note and the rows
    static constexpr double rowSpacing = 10;  // between the parts of a row's first line
    static constexpr double lineSpacing = 3;  // between that line and the wake line
    static constexpr double lossWidth = 48;

    static const std::vector<ModelField>& fields();
};

}  // namespace norvane
