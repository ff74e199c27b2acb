#include "app/readings/PowerUIBackend.h"

#include "platform/Text.h"

namespace norvane {
namespace {

// A Boolean, or a number as a flag: non-zero is true.
bool nonZero(const Value& v) {
    if (const auto b = v.boolValue()) return *b;
    return v.isNumber() && v.doubleValue() != 0.0;
}

// Exactly YES (1), not merely non-zero.
bool yes(const Value& v) { return v.boolValue() == true || (v.isInteger() && v.longLongValue() == 1); }

// A call that returns a value: a filled error fails it.
Value valueOf(const FrameworkReply& reply) {
    if (reply.error) throw Problem(*reply.error);
    return reply.result;
}

// A call that returns a Boolean: an error fails it even after yes; no without an error is
// a refusal.
void succeed(const FrameworkReply& reply, const std::string& refusal) {
    if (reply.error) throw Problem(*reply.error);
    if (!nonZero(reply.result)) throw Problem(refusal);
}

}  // namespace

PowerUIBackend::PowerUIBackend(PrivateFramework& framework, const ProcessRunner& runner) : runner_(runner) {
    framework.loadImage(powerUIImage);
    const auto instance = framework.allocate("PowerUISmartChargeClient");
    if (!instance) throw Problem("The charge limit service is missing on this macOS");
    if (instance->respondsToSelector("initWithClientName:"))
        client_ = instance->perform("initWithClientName:", Value::string("Norvane")).object;
    if (!client_) throw Problem("The charge limit service could not be opened");
}

PowerUIBackend::Method PowerUIBackend::method(std::string_view name) {
    if (!client_->respondsToSelector(name))
        throw Problem("macOS changed its charge limit service (" + std::string(name) + " is gone)");
    return [client = client_, selector = std::string(name)](const Value& argument) {
        return client->perform(selector, argument);
    };
}

void PowerUIBackend::act(std::string_view name) {
    succeed(method(name)(Value()), "macOS refused " + std::string(name));
}

std::vector<std::int64_t> PowerUIBackend::available() {
    const Value result = valueOf(method("availableChargeLimitsWithError:")(Value()));
    std::vector<std::int64_t> out;
    if (const auto* list = result.asArray())
        for (const Value& item : *list)
            if (const auto n = item.integerValue()) out.push_back(*n);  // a non-number offers no limit
    return out;
}

LimitSetting PowerUIBackend::read() {
    // Both are looked up first, so a missing second selector fails before the first call.
    const auto getLimit = method("getMCLLimitWithError:");
    const auto isEnabled = method("isMCLCurrentlyEnabled:");
    LimitSetting setting;
    // The framework answers with an unsigned 32-bit integer.
    setting.limit = static_cast<std::uint32_t>(valueOf(getLimit(Value())).longLongValue().value_or(0));
    setting.enabled = nonZero(valueOf(isEnabled(Value())));
    return setting;
}

void PowerUIBackend::set(std::int64_t percent) {
    // The framework takes an unsigned byte: a wider value would arrive cut to another limit.
    if (percent < 0 || percent > 255) throw Problem("macOS does not offer " + std::to_string(percent) + "%");
    succeed(method("setMCLLimit:error:")(Value::integer(percent)), "macOS refused the limit");
}

FullCharge PowerUIBackend::chargeFullNow() {
    const LimitSetting setting = read();
    FullCharge full;
    if (setting.enabled) {
        act("temporarilyDisableMCL:");
        full.limit = setting.limit;
    }
    try {
        // Its error is of no concern here: only a plain yes lifts optimised charging.
        if (yes(method("isSmartChargingCurrentlyEnabled:")(Value()).result)) {
            act("temporarilyDisableSmartCharging:");
            full.smart = true;
        }
    } catch (const Problem&) {
        if (full.limit) {
            try {
                act("enableMCL:");
            } catch (const Problem&) {
                // The first failure is the one to report.
            }
        }
        throw;
    }
    return full;
}

bool PowerUIBackend::optimised() { return nonZero(valueOf(method("isSmartChargingCurrentlyEnabled:")(Value()))); }

std::int64_t PowerUIBackend::registrations() {
    const auto out = runner_.run("/usr/bin/pmset", {"-g", "battlimit"}, ErrorOutput::inherit);
    if (!out.started) return 0;
    const std::string text = decodeUtf8Lossy(out.output);
    constexpr std::string_view needle = "manualChargeLimit";
    std::int64_t count = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
    return count;
}

bool PowerUIBackend::supported() { return nonZero(method("isMCLSupported")(Value()).result); }

void PowerUIBackend::enableLimit() { act("enableMCL:"); }
void PowerUIBackend::disableLimit() { act("disableMCL:"); }
void PowerUIBackend::enableSmartCharging() { act("enableSmartCharging:"); }

}  // namespace norvane
