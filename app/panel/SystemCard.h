#pragma once
// The Stats page's system card: processor and graphics load, memory, disk space, disk and
// network traffic, temperatures and fans, each a row with a dot bar and its figure. A
// figure past its alert threshold turns its bar and value red. The card's figures are
// read every 3 s while it is shown (SystemRefresh).

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/DotBar.h"

namespace norvane {

struct SystemCard {
    struct Row {
        std::string label;
        std::string value;                  // "—" while not measured
        std::optional<std::string> detail;  // a second line under the label
        DotBar bar;                         // the fraction within 0...1
        bool hot = false;                   // past its alert threshold: bar and value red
        std::string accessibility;          // "Memory 11 GB, of 16 GB, pressure high"
        // Whether the row keeps the room of that line while it has no detail: a traffic row's
        // detail comes with the second reading, and the cards under this one must not move
        // then, under a pointer that aims at them.
        bool detailRoom = false;
        bool operator==(const Row&) const = default;
    };

    std::string chip;  // the processor's name, as the system gives it
    std::vector<Row> rows;
    bool operator==(const SystemCard&) const = default;

    // Without a reading the load and traffic rows show "—"; rows of figures the reading
    // lacks are left out.
    static SystemCard make(const std::optional<SystemReading>& reading, const std::string& chip, Color accent);

    // The fraction as a whole percent, rounded: 0.125 gives "13%"; "—" when not finite.
    static std::string percent(double fraction);
    // One row; an absent fraction is an empty bar, an absent text shows "—".
    static Row gauge(const std::string& label, std::optional<double> fraction, std::optional<std::string> text,
                     std::optional<std::string> detail, bool hot, Color accent);
    // Two rates on a log scale: 1 kB/s or less is an empty bar, 1 GB/s or more a full one.
    static Row traffic(const std::string& label, std::optional<double> first, std::optional<double> second,
                       std::pair<std::string, std::string> words, Color accent);
    // ", pressure high" from level 2, ", pressure critical" from 4; nothing otherwise.
    static std::string pressureSuffix(std::optional<std::int64_t> level);

    static constexpr const char* title = "System";
    static constexpr double spacing = 12;      // between the header and the rows
    static constexpr double rowSpacing = 10;   // between a row's parts
    static constexpr double lineSpacing = 1;   // between the label and the detail
    static constexpr double valueWidth = 72;   // the figure, aligned to the trailing edge
    static constexpr const char* notMeasured = "not measured yet";

    static const std::vector<ModelField>& fields();
};

}  // namespace norvane
