#pragma once
// The machine's charge-limit service, as the private framework's client object reaches it.
// Its state is the file PowerUI/SmartChargeClient.json of the machine folder (described in
// docs/machine-folder.md); each call reads it afresh, and calls that change it hold a lock
// on the folder, so two threads or two processes can use the service at once.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/PrivateFramework.h"

namespace norvane {

struct ChargeServiceState {
    bool supported = false;
    Value limits;  // the offered limits as the file holds them (an array of numbers)
    std::int64_t limit = 100;
    bool enabled = false;
    bool limitSuspended = false;  // lifted for one charge to full
    bool smartCharging = false;
    bool smartChargingSuspended = false;
    // The manual charge limits power management holds; `pmset -g battlimit` lists them.
    std::int64_t registrations = 0;
    // Power management lags: its registrations stay as written whatever the service does.
    bool registrationsFrozen = false;
    Value::Dictionary faults;  // selector to "missing", "no" or {"error": text}

    static ChargeServiceState decode(const Value::Dictionary& file);
    // Writes the fields back into the file's members, keeping any others.
    void encodeInto(Value::Dictionary& file) const;
};

// The state of the machine's service; absent when it has none or the file is not a JSON object.
std::optional<ChargeServiceState> readChargeService(const Machine& machine);

class SmartChargeClient final : public FrameworkObject, public std::enable_shared_from_this<SmartChargeClient> {
public:
    explicit SmartChargeClient(Machine machine) : machine_(std::move(machine)) {}
    static Path stateFile(const Machine& machine) { return machine.file("PowerUI/SmartChargeClient.json"); }

    // Every selector of the service, unless the state names it "missing".
    bool respondsToSelector(std::string_view selector) const override;
    FrameworkReply perform(std::string_view selector, const Value& argument = Value()) override;

private:
    Machine machine_;
};

}  // namespace norvane
