#include "platform/SmartChargeClient.h"

#include <algorithm>
#include <array>

#include "platform/FileLock.h"
#include "platform/PropertyList.h"

namespace norvane {
namespace {

enum class Kind { flag, number, list, object };
struct Selector {
    std::string_view name;
    Kind kind;
    bool changes;
};
constexpr std::array selectors{
    Selector{"initWithClientName:", Kind::object, false},
    Selector{"isMCLSupported", Kind::flag, false},
    Selector{"availableChargeLimitsWithError:", Kind::list, false},
    Selector{"getMCLLimitWithError:", Kind::number, false},
    Selector{"isMCLCurrentlyEnabled:", Kind::flag, false},
    Selector{"setMCLLimit:error:", Kind::flag, true},
    Selector{"enableMCL:", Kind::flag, true},
    Selector{"disableMCL:", Kind::flag, true},
    Selector{"temporarilyDisableMCL:", Kind::flag, true},
    Selector{"isSmartChargingCurrentlyEnabled:", Kind::flag, false},
    Selector{"temporarilyDisableSmartCharging:", Kind::flag, true},
    Selector{"enableSmartCharging:", Kind::flag, true},
};

const Selector* lookup(std::string_view name) {
    const auto it = std::find_if(selectors.begin(), selectors.end(), [&](const Selector& s) { return s.name == name; });
    return it == selectors.end() ? nullptr : &*it;
}

bool flag(const Value::Dictionary& file, std::string_view key) {
    const Value* value = find(file, key);
    return value && value->boolValue().value_or(false);
}

std::int64_t number(const Value::Dictionary& file, std::string_view key, std::int64_t fallback) {
    const Value* value = find(file, key);
    return value && value->isNumber() ? *value->longLongValue() : fallback;
}

std::optional<Value::Dictionary> readState(const Path& file) {
    const auto text = readFile(file);
    auto root = text ? parseJson(*text) : std::nullopt;
    if (!root || !root->isDictionary()) return std::nullopt;
    return std::move(*root->asDictionary());
}

// An exclusive lock on the service for one change: flock excludes other threads (each
// opens its own descriptor) and other processes alike.
FrameworkReply failure(std::string text) { return {Value(), nullptr, std::move(text)}; }

bool offers(const Value& limits, std::int64_t percent) {
    const auto* list = limits.asArray();
    return list && std::any_of(list->begin(), list->end(),
                               [&](const Value& v) { return v.isNumber() && v.longLongValue() == percent; });
}

// Power management follows the service unless the state freezes it.
void registerLimit(ChargeServiceState& s) {
    if (!s.registrationsFrozen) s.registrations = std::max<std::int64_t>(s.registrations, 1);
}
void unregisterLimit(ChargeServiceState& s) {
    if (!s.registrationsFrozen) s.registrations = std::max<std::int64_t>(s.registrations - 1, 0);
}

// Carries out a selector that changes the state; false when the service refuses.
bool change(ChargeServiceState& s, std::string_view selector, const Value& argument) {
    if (selector == "setMCLLimit:error:") {
        // The argument arrives as an unsigned 8-bit integer.
        const auto percent = static_cast<std::uint8_t>(argument.longLongValue().value_or(0));
        if (percent >= 100 || !offers(s.limits, percent)) return false;
        s.limit = percent;
        s.enabled = true;
        s.limitSuspended = false;
        registerLimit(s);
    } else if (selector == "enableMCL:") {
        s.enabled = true;
        s.limitSuspended = false;
        registerLimit(s);
    } else if (selector == "disableMCL:") {
        s.enabled = false;
        s.limitSuspended = false;
        unregisterLimit(s);
    } else if (selector == "temporarilyDisableMCL:") {
        s.limitSuspended = true;
        unregisterLimit(s);
    } else if (selector == "temporarilyDisableSmartCharging:") {
        s.smartChargingSuspended = true;
    } else if (selector == "enableSmartCharging:") {
        s.smartCharging = true;
        s.smartChargingSuspended = false;
    }
    return true;
}

// The answer of a selector that only reads.
Value answer(const ChargeServiceState& s, std::string_view selector) {
    if (selector == "isMCLSupported") return Value::boolean(s.supported);
    if (selector == "availableChargeLimitsWithError:") return s.limits;
    // The framework returns the limit as an unsigned 32-bit integer.
    if (selector == "getMCLLimitWithError:") return Value::integer(static_cast<std::uint32_t>(s.limit));
    if (selector == "isMCLCurrentlyEnabled:") return Value::boolean(s.enabled && !s.limitSuspended);
    if (selector == "isSmartChargingCurrentlyEnabled:") return Value::boolean(s.smartCharging && !s.smartChargingSuspended);
    return Value();
}

// What a selector gives back when it says no: NO, 0 or nil.
Value refusal(Kind kind) {
    if (kind == Kind::flag) return Value::boolean(false);
    if (kind == Kind::number) return Value::integer(0);
    return Value();
}

}  // namespace

ChargeServiceState ChargeServiceState::decode(const Value::Dictionary& file) {
    ChargeServiceState s;
    s.supported = flag(file, "supported");
    if (const Value* limits = find(file, "limits")) s.limits = *limits;
    s.limit = number(file, "limit", 100);
    s.enabled = flag(file, "enabled");
    s.limitSuspended = flag(file, "limitSuspended");
    s.smartCharging = flag(file, "smartCharging");
    s.smartChargingSuspended = flag(file, "smartChargingSuspended");
    s.registrations = number(file, "registrations", 0);
    s.registrationsFrozen = flag(file, "registrationsFrozen");
    if (const Value* faults = find(file, "faults"); faults && faults->isDictionary()) s.faults = *faults->asDictionary();
    return s;
}

void ChargeServiceState::encodeInto(Value::Dictionary& file) const {
    file.insert_or_assign("limit", Value::integer(limit));
    file.insert_or_assign("enabled", Value::boolean(enabled));
    file.insert_or_assign("limitSuspended", Value::boolean(limitSuspended));
    file.insert_or_assign("smartCharging", Value::boolean(smartCharging));
    file.insert_or_assign("smartChargingSuspended", Value::boolean(smartChargingSuspended));
    file.insert_or_assign("registrations", Value::integer(registrations));
}

std::optional<ChargeServiceState> readChargeService(const Machine& machine) {
    const auto file = readState(SmartChargeClient::stateFile(machine));
    if (!file) return std::nullopt;
    return ChargeServiceState::decode(*file);
}

bool SmartChargeClient::respondsToSelector(std::string_view selector) const {
    if (!lookup(selector)) return false;
    const auto state = readChargeService(machine_);
    if (!state) return true;  // the calls themselves report the unreadable state
    const Value* fault = find(state->faults, selector);
    return !(fault && fault->asString() && *fault->asString() == "missing");
}

FrameworkReply SmartChargeClient::perform(std::string_view selector, const Value& argument) {
    const Selector* known = lookup(selector);
    if (!known) return failure("unrecognized selector " + std::string(selector));
    const Path file = stateFile(machine_);
    std::optional<FileLock> lock;
    if (known->changes) {
        lock.emplace(file);
        if (!lock->held()) return failure("The charge limit service is busy");
    }
    auto raw = readState(file);
    if (!raw) return failure("The charge limit service could not read its settings");
    auto state = ChargeServiceState::decode(*raw);

    FrameworkReply reply;
    // A fault answers in place of the service and changes nothing.
    if (const Value* fault = find(state.faults, selector)) {
        if (const Value* error = fault->find("error")) {
            // Yes (or the value, or the object) together with the error.
            reply.error = error->asString() ? *error->asString() : "The operation couldn’t be completed.";
            if (known->kind == Kind::object)
                reply.object = shared_from_this();
            else
                reply.result = known->kind == Kind::flag ? Value::boolean(true) : answer(state, selector);
            return reply;
        }
        if (fault->asString() && *fault->asString() == "no") return {refusal(known->kind), nullptr, std::nullopt};
        if (fault->asString() && *fault->asString() == "missing")
            return failure("unrecognized selector " + std::string(selector));
    }

    if (known->kind == Kind::object) {
        reply.object = shared_from_this();
    } else if (!known->changes) {
        reply.result = answer(state, selector);
    } else {
        const bool done = change(state, selector, argument);
        reply.result = Value::boolean(done);
        if (done) {
            state.encodeInto(*raw);
            const auto text = writeJson(Value::dictionary(std::move(*raw)));
            if (!text || !writeFileAtomically(file, *text + "\n"))
                return failure("The charge limit service could not save its settings");
        }
    }
    return reply;
}

}  // namespace norvane
