#pragma once
// The eight actions the application offers to scripts (the system's Shortcuts): their
// titles, parameters with defaults and ranges, the sentences that show them, and what
// running one does to the model. An action only picks the model's operation and its value,
// or reads a value out of the model; the model's notes report how its operations went.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/analysis/Forecast.h"
#include "app/controls/AwakeMode.h"
#include "app/readings/Battery.h"
#include "app/readings/Charger.h"
#include "platform/Value.h"

namespace norvane {

// How Keep Mac Awake holds the Mac awake.
enum class AwakeChoice { untilStopped, minutes, agents };
inline constexpr std::array<AwakeChoice, 3> allAwakeChoices{AwakeChoice::untilStopped, AwakeChoice::minutes,
                                                            AwakeChoice::agents};
inline constexpr std::string_view awakeChoiceTypeName = "Stay Awake Mode";
// "untilStopped", "minutes", "agents".
std::string_view rawValue(AwakeChoice choice);
// Absent for any other text.
std::optional<AwakeChoice> awakeChoice(std::string_view raw);
// "Until stopped", "For a number of minutes", "While coding agents work".
std::string_view displayText(AwakeChoice choice);

// One run of an action, with its parameters' values (their defaults unless given).
struct GetBatteryLevel {
    bool operator==(const GetBatteryLevel&) const = default;
};
struct GetTimeLeft {
    bool operator==(const GetTimeLeft&) const = default;
};
struct GetPowerDraw {
    bool operator==(const GetPowerDraw&) const = default;
};
struct KeepAwake {
    AwakeChoice mode = AwakeChoice::untilStopped;
    std::int64_t minutes = 60;  // only for `minutes`
    bool operator==(const KeepAwake&) const = default;
};
struct StopKeepingAwake {
    bool operator==(const StopKeepingAwake&) const = default;
};
struct SetChargeLimit {
    std::int64_t percent = 80;
    bool operator==(const SetChargeLimit&) const = default;
};
struct ChargeToFullOnce {
    bool operator==(const ChargeToFullOnce&) const = default;
};
struct SetLowPowerMode {
    bool on = true;
    bool operator==(const SetLowPowerMode&) const = default;
};
using IntentRun = std::variant<GetBatteryLevel, GetTimeLeft, GetPowerDraw, KeepAwake, StopKeepingAwake,
                               SetChargeLimit, ChargeToFullOnce, SetLowPowerMode>;

struct IntentParameter {
    enum class Kind { choice, integer, boolean };
    std::string_view field;  // its name in a run's parameters
    std::string_view title;
    Kind kind = Kind::integer;
    std::int64_t minimum = 0;  // an integer's inclusive range
    std::int64_t maximum = 0;
};

struct IntentDefinition {
    std::string_view title;
    std::vector<IntentParameter> parameters;
    IntentRun defaults;  // a run with every parameter at its default
};

// The eight actions in a fixed order, the one of `IntentRun`'s alternatives.
const std::vector<IntentDefinition>& intentTable();

// The sentence that shows a run, with each parameter standing in it as "${field}"; absent
// where the plain title shows it.
std::optional<std::string> parameterSummary(const IntentRun& run);

// The run of the action with that title, its parameters taken from a JSON object (absent
// or null: all defaults) whose members are the parameters' fields: a choice as its raw
// value, an integer as a whole JSON number within its range, a Boolean as a JSON Boolean.
// Anything else gives the sentence that says what is wrong.
std::variant<IntentRun, std::string> resolveIntent(std::string_view title, const Value* parameters);

// What the actions read of the model and call on it, all on the main queue.
class IntentTarget {
public:
    virtual ~IntentTarget() = default;
    virtual const Battery& battery() const = 0;
    // False on a Mac without a battery, whose reading then holds no figures.
    virtual bool hasBattery() const = 0;
    virtual const std::optional<Forecast>& forecast() const = 0;
    virtual const std::optional<PowerFlow>& flow() const = 0;
    // The system's Low Power Mode now, not the model's last reading of it.
    virtual bool lowPowerModeEnabled() const = 0;
    virtual void startAwake(const AwakeMode& mode) = 0;
    virtual void stopAwake() = 0;  // without a reason
    virtual void refreshLimit() = 0;
    virtual void setLimit(std::int64_t percent) = 0;
    virtual void chargeFullOnce() = 0;
    // Asks for the state wanted (never a toggle of the model's reading, which may be stale).
    virtual void setLowPower(bool on) = 0;
};

// What an action gives: its value (null for none), or the sentence that says why it has none.
using IntentOutcome = std::variant<Value, std::string>;

// Runs the action: the battery level and the time left as integers (no time left: null),
// the power draw in watts to one decimal; the acting ones start their operation and give
// null. A Mac without a battery has no level to give, and no draw without the system's
// figure of it: the action fails rather than give the empty reading's 0.
IntentOutcome perform(const IntentRun& run, IntentTarget& model);

}  // namespace norvane
