#include "app/shell/Intents.h"

#include <cmath>
#include <cstdlib>

namespace norvane {
namespace {

using Kind = IntentParameter::Kind;

template <typename... F>
struct Overloaded : F... {
    using F::operator()...;
};

// A parameter's value once read: a choice, an integer or a Boolean.
using ParameterValue = std::variant<AwakeChoice, std::int64_t, bool>;

std::string choices() {
    std::string out;
    for (const AwakeChoice choice : allAwakeChoices) out += (out.empty() ? "" : ", ") + std::string(rawValue(choice));
    return out;
}

std::variant<ParameterValue, std::string> read(const IntentParameter& parameter, const Value& value) {
    const std::string title(parameter.title);
    switch (parameter.kind) {
    case Kind::choice:
        if (const auto* raw = value.asString())
            if (const auto choice = awakeChoice(*raw)) return *choice;
        return title + " must be one of " + choices() + ".";
    case Kind::integer:
        if (const auto n = value.isInteger() ? value.integerValue() : std::nullopt)
            if (*n >= parameter.minimum && *n <= parameter.maximum) return *n;
        return title + " must be a whole number from " + std::to_string(parameter.minimum) + " to " +
               std::to_string(parameter.maximum) + ".";
    case Kind::boolean:
        if (const auto on = value.boolValue()) return *on;
        return title + " must be true or false.";
    }
    return title + " cannot be read.";
}

void apply(IntentRun& run, std::string_view field, const ParameterValue& value) {
    std::visit(Overloaded{
                   [&](KeepAwake& keep) {
                       if (field == "mode") keep.mode = std::get<AwakeChoice>(value);
                       else keep.minutes = std::get<std::int64_t>(value);
                   },
                   [&](SetChargeLimit& limit) { limit.percent = std::get<std::int64_t>(value); },
                   [&](SetLowPowerMode& mode) { mode.on = std::get<bool>(value); },
                   [](auto&) {},
               },
               run);
}

AwakeMode awakeMode(const KeepAwake& keep) {
    switch (keep.mode) {
    case AwakeChoice::minutes: return AwakeMode::timer(keep.minutes);
    case AwakeChoice::agents: return AwakeMode::agents();
    case AwakeChoice::untilStopped: break;
    }
    return AwakeMode::untilStopped();
}

// Watts to one decimal. The system's own figure when it has one; else current times
// voltage, in double so that no product of two readings can overflow.
double powerDraw(const std::optional<PowerFlow>& flow, const Battery& battery) {
    double watts = 0;
    if (flow && flow->system && std::isfinite(*flow->system)) watts = *flow->system;
    else watts = std::abs(static_cast<double>(battery.milliamps) * static_cast<double>(battery.millivolts)) / 1e6;
    return std::round(watts * 10) / 10;
}

}  // namespace

std::string_view rawValue(AwakeChoice choice) {
    switch (choice) {
    case AwakeChoice::minutes: return "minutes";
    case AwakeChoice::agents: return "agents";
    case AwakeChoice::untilStopped: break;
    }
    return "untilStopped";
}

std::optional<AwakeChoice> awakeChoice(std::string_view raw) {
    for (const AwakeChoice choice : allAwakeChoices)
        if (rawValue(choice) == raw) return choice;
    return std::nullopt;
}

std::string_view displayText(AwakeChoice choice) {
    switch (choice) {
    case AwakeChoice::minutes: return "For a number of minutes";
    case AwakeChoice::agents: return "While coding agents work";
    case AwakeChoice::untilStopped: break;
    }
    return "Until stopped";
}

const std::vector<IntentDefinition>& intentTable() {
    static const std::vector<IntentDefinition> table{
        {"Get Battery Level", {}, GetBatteryLevel{}},
        {"Get Time Left on Battery", {}, GetTimeLeft{}},
        {"Get Power Draw", {}, GetPowerDraw{}},
        {"Keep Mac Awake",
         {{"mode", "Mode", Kind::choice}, {"minutes", "Minutes", Kind::integer, 1, 1440}},
         KeepAwake{}},
        {"Let Mac Sleep Again", {}, StopKeepingAwake{}},
        {"Set Charge Limit", {{"percent", "Percent", Kind::integer, 80, 100}}, SetChargeLimit{}},
        {"Charge to Full Once", {}, ChargeToFullOnce{}},
        {"Set Low Power Mode", {{"on", "Low Power Mode", Kind::boolean}}, SetLowPowerMode{}},
    };
    return table;
}

std::optional<std::string> parameterSummary(const IntentRun& run) {
    if (const auto* keep = std::get_if<KeepAwake>(&run))
        return keep->mode == AwakeChoice::minutes ? "Keep the Mac awake ${mode}: ${minutes}" : "Keep the Mac awake ${mode}";
    if (std::holds_alternative<SetChargeLimit>(run)) return "Set the charge limit to ${percent}%";
    if (std::holds_alternative<SetLowPowerMode>(run)) return "Turn Low Power Mode ${on}";
    return std::nullopt;
}

std::variant<IntentRun, std::string> resolveIntent(std::string_view title, const Value* parameters) {
    const IntentDefinition* definition = nullptr;
    for (const auto& entry : intentTable())
        if (entry.title == title) definition = &entry;
    if (!definition) return "There is no action called \"" + std::string(title) + "\".";
    IntentRun run = definition->defaults;
    if (!parameters || parameters->isNull()) return run;
    const auto* members = parameters->asDictionary();
    if (!members) return std::string("The parameters must be a JSON object.");
    for (const auto& [field, value] : *members) {
        const IntentParameter* parameter = nullptr;
        for (const auto& entry : definition->parameters)
            if (entry.field == field) parameter = &entry;
        if (!parameter) return "\"" + std::string(title) + "\" has no parameter \"" + field + "\".";
        auto parsed = read(*parameter, value);
        if (auto* error = std::get_if<std::string>(&parsed)) return std::move(*error);
        apply(run, field, std::get<ParameterValue>(parsed));
    }
    return run;
}

IntentOutcome perform(const IntentRun& run, IntentTarget& model) {
    return std::visit(
        Overloaded{
            [&](const GetBatteryLevel&) -> IntentOutcome {
                if (!model.hasBattery()) return std::string("This Mac has no battery.");
                return Value::integer(model.battery().percent);
            },
            [&](const GetTimeLeft&) -> IntentOutcome {
                if (model.battery().plugged || !model.forecast()) return Value();
                return Value::integer(model.forecast()->minutes);
            },
            [&](const GetPowerDraw&) -> IntentOutcome {
                const auto& flow = model.flow();
                if (!model.hasBattery() && !(flow && flow->system))
                    return std::string("macOS gives no reading of this Mac's power draw.");
                return Value::real(powerDraw(flow, model.battery()));
            },
            [&](const KeepAwake& keep) -> IntentOutcome {
                model.startAwake(awakeMode(keep));
                return Value();
            },
            [&](const StopKeepingAwake&) -> IntentOutcome {
                model.stopAwake();
                return Value();
            },
            [&](const SetChargeLimit& limit) -> IntentOutcome {
                // Down to a step of the limit: 87 asks for 85.
                const std::int64_t percent = limit.percent / 5 * 5;
                model.refreshLimit();
                model.setLimit(percent);
                return Value();
            },
            [&](const ChargeToFullOnce&) -> IntentOutcome {
                model.chargeFullOnce();
                return Value();
            },
            [&](const SetLowPowerMode& mode) -> IntentOutcome {
                if (model.lowPowerModeEnabled() != mode.on) model.setLowPower(mode.on);
                return Value();
            },
        },
        run);
}

}  // namespace norvane
