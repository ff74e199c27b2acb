#pragma once
// One command of the application's URL scheme ("norvane://…") and the strict grammar that
// reads it. A URL that does not follow the grammar exactly is no command.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

#include "app/controls/AwakeMode.h"
#include "app/model/Tab.h"

namespace norvane {

struct Command {
    struct Awake {  // keep the Mac awake in that mode, starting now
        AwakeMode mode;
        bool operator==(const Awake&) const = default;
    };
    struct LowPower {
        bool on = false;
        bool operator==(const LowPower&) const = default;
    };
    struct Limit {  // 100 switches the limit off
        std::int64_t percent = 100;
        bool operator==(const Limit&) const = default;
    };
    struct Open {  // show the panel, on that page when one is given
        std::optional<Tab> tab;
        bool operator==(const Open&) const = default;
    };
    struct AwakeOff {
        bool operator==(const AwakeOff&) const = default;
    };
    struct ChargeFull {  // charge to 100 % once
        bool operator==(const ChargeFull&) const = default;
    };
    std::variant<Awake, LowPower, Limit, Open, AwakeOff, ChargeFull> value;
    bool operator==(const Command&) const = default;
};

// The only charge limits a URL may ask for.
inline constexpr std::array<std::int64_t, 5> urlLimits{80, 85, 90, 95, 100};
// A timer's minutes: one minute to one day.
inline constexpr std::int64_t minimumAwakeMinutes = 1;
inline constexpr std::int64_t maximumAwakeMinutes = 1440;

// The command the URL asks for; nothing when it is none. Scheme and host compare without
// case, the rest exactly. An app path must be absolute, end in ".app", be shorter than the
// system's path limit (PATH_MAX, 4096 bytes with its end) with no name above NAME_MAX (255),
// and hold no ".." piece and no control character once decoded.
std::optional<Command> parseCommand(std::string_view url);

}  // namespace norvane
