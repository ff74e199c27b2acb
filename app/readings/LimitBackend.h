#pragma once
// The charge-limit service that macOS keeps, behind an interface, so the rules that use it
// run against any backend.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace norvane {

// The charge-limit service's error: one sentence shown to the user as it stands.
struct Problem : std::exception {
    std::string description;
    explicit Problem(std::string text) : description(std::move(text)) {}
    const char* what() const noexcept override { return description.c_str(); }
};

// What a charge to full once lifted, to be restored after it.
struct FullCharge {
    std::optional<std::int64_t> limit;  // the limit that was enabled and is suspended now
    bool smart = false;                 // optimised charging was on and is suspended now
    bool operator==(const FullCharge&) const = default;
};

struct LimitSetting {
    std::int64_t limit = 0;  // percent
    bool enabled = false;
    bool operator==(const LimitSetting&) const = default;
};

// Every operation may block briefly; callers run them off the main queue. All but
// registrations() throw Problem.
class LimitBackend {
public:
    virtual ~LimitBackend() = default;
    // The limits macOS offers, in its order, 100 included when offered.
    virtual std::vector<std::int64_t> available() = 0;
    virtual LimitSetting read() = 0;
    virtual void set(std::int64_t percent) = 0;
    // Lifts the limit and optimised charging for one charge to 100 %.
    virtual FullCharge chargeFullNow() = 0;
    virtual bool optimised() = 0;
    // How many manual charge limits power management lists; never fails.
    virtual std::int64_t registrations() = 0;
    virtual bool supported() = 0;
    virtual void enableLimit() = 0;
    virtual void disableLimit() = 0;
    virtual void enableSmartCharging() = 0;
};

}  // namespace norvane
