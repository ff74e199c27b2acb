#pragma once
// The Stats page's battery card: the battery's facts in rows of three (on wall power a
// third row with the charger and the power flow, and a line naming the charger and why it
// does or does not charge), a year of the battery's capacity with a button that saves the
// battery report, and the control of the charge limit that macOS keeps.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/panel/StatsTab.h"
#include "app/visuals/Pill.h"
#include "platform/DateFormatter.h"

namespace norvane {

struct BatteryCard {
    // A value over its label.
    struct Fact {
        std::string value;
        std::string label;
        bool operator==(const Fact&) const = default;
    };
    using Facts = std::array<Fact, 3>;

    Facts first;                             // health, cycles, capacity
    Facts second;                            // the draw, the drain, the time left or to full
    std::optional<Facts> third;              // on wall power: charger, from the wall, into the battery
    std::optional<std::string> chargerLine;  // on wall power
    bool operator==(const BatteryCard&) const = default;

    static BatteryCard make(const AppModel& m);

    static constexpr const char* title = "Battery";
    static constexpr double spacing = 12;
    static constexpr double factSpacing = 3;     // between a fact's value and its label
    static TextStyle valueStyle();               // 14 points, medium
    static constexpr Color divider = Color::white(0.08);

    // ---- A year of capacity ----
    struct Trend {
        std::vector<std::optional<int>> levels;  // two columns a month, oldest first; none without a design capacity
        std::optional<std::string> summary;      // "−4% · 312 cycles", once the record spans 30 days
        std::string accessibility;
        std::string note;
        bool operator==(const Trend&) const = default;
    };
    static Trend trend(const AppModel& m, Date now, const DateFormatter& format);
    // A month's capacity in percent of the design as lit dots: 2 % a dot from 80 % up,
    // rounded up, at least one and at most ten; none for a figure that is not finite.
    static std::optional<int> level(double percent);
    static constexpr const char* trendTitle = "Health over a year";
    static constexpr const char* trendStart = "−12M";
    static constexpr const char* trendEnd = "Now";
    static constexpr double trendSpacing = 8;
    static TextStyle summaryStyle();  // 13 points, medium, white at 70 %
    static constexpr const char* save = "Save a battery report";
    static constexpr const char* saveHelp =
        "One file with the battery's capacity, cycles and recorded history: for a buyer of this Mac, or for a repair";
    static constexpr Pill quietPill{Color::white(0.1), Color::white()};

    // ---- The charge limit ----
    // macOS offers a limit: the header with the slider's reading, the slider, the note.
    struct LimitSlider {
        std::vector<std::int64_t> values;  // the first offered (80 without any), every 5 above it, and 100
        std::size_t position = 0;          // of the slider's value among them
        std::string reading;               // "Off", "80%"
        std::string accessibilityValue;    // "Off", "80 percent"
        bool busy = false;                 // a spinner; the slider is disabled
        std::string note;
        static constexpr const char* title = "Charge limit";
        static constexpr const char* defaultNote =
            "Stops charging at this level. macOS still tops up to 100% now and then to keep its readings accurate.";
        bool operator==(const LimitSlider&) const = default;
    };
    // A macOS the limit is not known to work on: a note and the way to the system's settings.
    struct LimitSettings {
        std::string note;
        static constexpr const char* open = "Open Battery settings";
        bool operator==(const LimitSettings&) const = default;
    };
    // No charge limit here: why.
    struct LimitNote {
        std::string note;
        bool operator==(const LimitNote&) const = default;
    };
    using Limit = std::variant<LimitSlider, LimitSettings, LimitNote>;
    static Limit limit(const AppModel& m, const StatsTab& tab);
    static std::vector<std::int64_t> sliderValues(const std::vector<std::int64_t>& offered);
    // The value nearest to `percent` (the model's limit need not be one of them).
    static std::size_t nearest(const std::vector<std::int64_t>& values, double percent);

    static const std::vector<ModelField>& fields();
    static const std::vector<ModelField>& trendFields();
    static const std::vector<ModelField>& limitFields();
};

}  // namespace norvane
