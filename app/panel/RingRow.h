#pragma once
// The Now page's second row: the charge ring with the percent in dot digits, and beside it
// the time left (or the Mac's draw) above the energy mode, each in a card of its own.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/DotText.h"
#include "app/visuals/Ring.h"
#include "app/visuals/Segments.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

struct RingRow {
    // ---- Ring block ----
    struct Charge {
        std::int64_t percent = 0;
        Color tone;                 // the charge tone of the percent: ring and digits
        bool blinks = false;        // while charging the dot after the lit ones blinks
        double pitch = 5;           // of the digits: 4 at 100 %, which has one digit more
        std::string accessibility;  // "Battery 72 percent"
        bool present = true;        // false on a Mac without a battery: no charge, dim dashes, no "%"
        bool operator==(const Charge&) const = default;

        Ring ring(bool blink) const { return {percent, tone, blinks && blink}; }
        DotText digits() const { return {present ? std::to_string(percent) : "--", tone, pitch}; }
    };
    static Charge charge(const Battery& battery, bool hasBattery = true);
    // The ring's blink on a 0.6 s timeline counted from 1 January 2001: lit on even steps.
    static constexpr double blinkStep = 0.6;
    static bool blinkAt(Date date);
    // Seconds from `date` to the middle of the next step: the ring redraws there, so a timer
    // that runs a little early or late still lands in the step it means.
    static double untilNextBlink(Date date);
    static constexpr double ringPadding = 14;
    // The "%" over the digits' top-trailing corner, moved right and up.
    static constexpr const char* percentSign = "%";
    static constexpr double percentDx = 11, percentDy = -5;
    static TextStyle unitStyle();  // "%" and "W": 10 points, medium, monospaced, white at 50 %

    // ---- Blocks beside the ring ----
    static constexpr double blockSpacing = 10;
    static constexpr double blockPadding = 14;
    static constexpr double topHeight = 28;  // of the top line, centred in it
    static constexpr int captionLines = 2;   // a caption too long for one line takes two
    static constexpr double digitPitch = 4;

    struct TimeLeft {
        std::string digits;   // a clock, whole watts or "-:--"
        Color color;          // white, or dimmed without an estimate
        bool watts = false;   // "W" over the digits' top-trailing corner
        std::string caption;  // in the note style
        std::string accessibility;
        bool operator==(const TimeLeft&) const = default;
    };
    static constexpr double wattsDx = 12, wattsDy = -3;
    static TimeLeft timeLeft(const Battery& battery, const std::optional<Forecast>& forecast,
                             const std::optional<Charger>& charger, const std::optional<PowerFlow>& flow);

    // The energy mode: Low, Automatic and High where the Mac offers High Power, else the
    // Low Power switch. The control shows the model's value; a choice only asks the model.
    struct ModeSegments {
        std::vector<std::int64_t> options;  // 1, 0, 2
        std::vector<Segment> segments;
        static constexpr const char* label = "Energy mode";
        bool operator==(const ModeSegments&) const = default;
    };
    struct LowPowerSwitch {
        bool on = false;
        static constexpr const char* title = "Low Power";
        static constexpr const char* label = "Low Power Mode";
        static constexpr double spacing = 6;
        static TextStyle titleStyle();  // 13 points, medium, one line
        bool operator==(const LowPowerSwitch&) const = default;
    };
    struct Energy {
        std::variant<ModeSegments, LowPowerSwitch> control;
        bool enabled = true;  // not while a change is under way
        std::string caption;
        bool operator==(const Energy&) const = default;
    };
    static Energy energy(const AppModel& m);

    // Model fields each part reads, for subscribing.
    static const std::vector<ModelField>& timeLeftFields();
    static const std::vector<ModelField>& energyFields();
};

}  // namespace norvane
