#pragma once
// The charge-limit backend over macOS's private charge-limit framework, whose client
// class is reached by name at run time.

#include <functional>
#include <memory>
#include <string_view>

#include "app/readings/LimitBackend.h"
#include "platform/PrivateFramework.h"
#include "platform/Process.h"

namespace norvane {

class PowerUIBackend final : public LimitBackend {
public:
    // Opens the framework's client; throws Problem when the class is missing or the client
    // cannot be made. Opening changes no charge setting. The runner (for `pmset`) must
    // outlive the backend.
    PowerUIBackend(PrivateFramework& framework, const ProcessRunner& runner);

    std::vector<std::int64_t> available() override;
    LimitSetting read() override;
    // Only 0...255 reach the framework (it takes an unsigned byte); anything else is a
    // value macOS does not offer.
    void set(std::int64_t percent) override;
    // When a later step fails after the limit was lifted, the limit is put back before the
    // failure is reported, so nothing is left lifted that no FullCharge names.
    FullCharge chargeFullNow() override;
    bool optimised() override;
    // Counts "manualChargeLimit" in what `pmset -g battlimit` prints; 0 when it cannot start.
    std::int64_t registrations() override;
    bool supported() override;
    void enableLimit() override;
    void disableLimit() override;
    void enableSmartCharging() override;

private:
    using Method = std::function<FrameworkReply(const Value& argument)>;
    // The client's implementation of a selector; throws when the client has none.
    Method method(std::string_view name);
    // Performs a selector that returns a Boolean and fills an error.
    void act(std::string_view name);

    std::shared_ptr<FrameworkObject> client_;
    const ProcessRunner& runner_;
};

}  // namespace norvane
