#pragma once
// How the Mac is kept awake: the mode with its stored text form (the "awakeMode" default,
// `--awake <mode>`, URL commands), the running session, the status the state machine
// reports, and the two figures the keep-awake card shows.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "platform/Time.h"

namespace norvane {

struct AwakeMode {
    struct Timer {
        std::int64_t minutes = 0;
        bool operator==(const Timer&) const = default;
    };
    struct App {
        std::string path;  // the application's bundle
        bool operator==(const App&) const = default;
    };
    struct UntilStopped {
        bool operator==(const UntilStopped&) const = default;
    };
    struct Agents {
        bool operator==(const Agents&) const = default;
    };
    std::variant<Timer, App, UntilStopped, Agents> value = UntilStopped{};

    static AwakeMode timer(std::int64_t minutes) { return {Timer{minutes}}; }
    static AwakeMode app(std::string path) { return {App{std::move(path)}}; }
    static AwakeMode untilStopped() { return {UntilStopped{}}; }
    static AwakeMode agents() { return {Agents{}}; }

    // "timer:<minutes>", "app:<path>", "untilStopped" or "agents".
    std::string stored() const;
    // Reads any text: a timer without a readable number lasts 60 minutes, an app without
    // a path and anything unknown or missing mean until stopped.
    static AwakeMode fromStored(const std::optional<std::string>& stored);

    bool operator==(const AwakeMode&) const = default;
};

struct AwakeSession {
    AwakeMode mode;
    Date started;
    bool operator==(const AwakeSession&) const = default;
};

// What the keep-awake state machine last decided.
struct AwakeStatus {
    struct Ended {
        std::string reason;
        bool operator==(const Ended&) const = default;
    };
    struct Holding {
        bool operator==(const Holding&) const = default;
    };
    struct Quiet {  // agent mode with no agent working: the Mac may sleep
        bool operator==(const Quiet&) const = default;
    };
    struct LowBattery {  // on battery at or below the floor until plugged in
        bool operator==(const LowBattery&) const = default;
    };
    struct Unplugged {  // on battery with the power-only setting until plugged in
        bool operator==(const Unplugged&) const = default;
    };
    std::variant<Ended, Holding, Quiet, LowBattery, Unplugged> value = Holding{};
    bool operator==(const AwakeStatus&) const = default;
};

// Minutes until the charge falls from `percent` to `floor` at `drain` percentage points
// per hour, truncated; absent without a positive drain, when already at the floor, or
// when the figure is beyond a whole number of minutes.
std::optional<std::int64_t> minutesToFloor(std::int64_t percent, std::int64_t floor, std::optional<double> drain);

// H:MM:SS of a timer's remaining seconds; negative counts as 0.
std::string countdown(std::int64_t seconds);

}  // namespace norvane
