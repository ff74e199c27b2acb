#pragma once
// The Now page: the summary headline with the charge-limit chip and, on demand, the limit
// choices; then the ring row, the keep-awake card, the top apps and one tip (their
// descriptions are in RingRow, TopApps and TipCard). The page holds no figures: it reads
// the model and its controls call the model. Its own state is which details are open.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/Pill.h"
#include "app/visuals/Segments.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

struct NowTab {
    bool tipOpen = false;        // the tip card shows its details
    bool limitOpen = false;      // the charge-limit choices are open
    bool awakeListOpen = false;  // the keep-awake card has a list open

    // `--tip-open` and `--limit-open` open them from the start.
    static NowTab make(const std::vector<std::string>& arguments);

    // ---- Layout ----
    static constexpr double spacing = 10;         // between the sections
    static constexpr double ringSide = 160;       // the panel's ring block
    static constexpr double sectionPadding = 14;  // the headline's, left and right

    // One tip replacing another closes its details; the first tip after none keeps them.
    void tipChanged(const std::optional<std::string>& before, const std::optional<std::string>& now);
    // The tip card shows while there is a tip and neither the limit choices nor the
    // keep-awake list is open.
    bool showsTip(const AppModel& m) const { return m.tip() && !limitOpen && !awakeListOpen; }

    // ---- Headline ----
    struct Headline {
        std::string title;
        std::string detail;
        bool byAI = false;  // the sparkles mark follows the detail
        bool operator==(const Headline&) const = default;
    };
    static Headline headline(const AppModel& m);
    static TextStyle titleStyle();  // 15 points, medium, wrapping
    static constexpr double columnSpacing = 2;
    static constexpr double detailSpacing = 5;
    static constexpr double rowSpacing = 8;  // between the column and the chip, the row and the choices
    static constexpr const char* aiHelp = "Worded by Apple Intelligence on this Mac. The numbers come from Norvane";
    static constexpr const char* aiLabel = "Worded by Apple Intelligence";
    static constexpr Color aiMark = Color::white(0.4);
    static constexpr double aiMarkSize = 9;

    // ---- Limit chip ----
    struct Chip {
        std::string label;  // "Full once", "Limit 80%", "Limit off"
        Pill pill;
        std::string accessibility;
        bool outlined = false;  // the choices are open
        bool operator==(const Chip&) const = default;
    };
    static constexpr const char* chipHint = "Shows the charge limit choices";
    static constexpr Color chipBorder = Color::white(0.45);  // 1 point, inside the capsule
    // Only while macOS offers a charge limit, and the Mac has a battery.
    std::optional<Chip> chip(const AppModel& m, Color accent) const;
    void tapChip() { limitOpen = !limitOpen; }

    // ---- Limit choices ----
    static constexpr Pill quietPill{Color::white(0.1), Color::white()};
    static constexpr double choiceSpacing = 8;
    // While a charge to full once runs: what happens, and a way back.
    struct FullOnceChoice {
        std::string text;
        bool cancelEnabled = true;
        static constexpr const char* cancel = "Cancel";
        static constexpr double leastGap = 4;
        bool operator==(const FullOnceChoice&) const = default;
    };
    // Otherwise: OFF and the limits macOS offers, the one-time full charge where it helps,
    // and the outcome of the last change.
    struct LimitList {
        std::vector<std::int64_t> options;  // 100, then macOS's limits in its order
        std::vector<Segment> segments;
        bool enabled = true;  // not while a change is being applied
        bool busy = false;    // a small spinner beside the segments
        bool offersFullOnce = false;
        std::optional<std::string> note;
        static constexpr const char* label = "Charge limit";
        static constexpr const char* fullOnce = "Charge to 100% once";
        static constexpr const char* fullOnceHelp =
            "The same as Charge to Full Now in the macOS battery menu: one full charge, then the hold comes back";
        bool operator==(const LimitList&) const = default;
    };
    using Choices = std::variant<FullOnceChoice, LimitList>;
    // Only while open, macOS offers a charge limit and the Mac has a battery.
    std::optional<Choices> choices(const AppModel& m) const;

    // Model fields the sections read, for subscribing.
    static const std::vector<ModelField>& headlineFields();
    static const std::vector<ModelField>& limitFields();
};

}  // namespace norvane
