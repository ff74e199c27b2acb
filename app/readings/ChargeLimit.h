#pragma once
// Whether the charge limit that macOS keeps can be offered here, and applying or clearing
// it with a read-back. The app keeps no limit of its own.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "app/readings/LimitBackend.h"
#include "platform/OSVersion.h"

namespace norvane {

namespace availability {
// The limit can be used; the offered percentages below 100, ascending.
struct Ready {
    std::vector<std::int64_t> limits;
    bool operator==(const Ready&) const = default;
};
// Recent enough but not a version the limit is known to work on; the version key.
struct UnverifiedOS {
    std::string version;
    bool operator==(const UnverifiedOS&) const = default;
};
// Cannot be used here; the reason shown to the user.
struct Unsupported {
    std::string reason;
    bool operator==(const Unsupported&) const = default;
};
// macOS is older than 26.4.
struct NeedsNewerOS {
    bool operator==(const NeedsNewerOS&) const = default;
};
}  // namespace availability

using LimitAvailability = std::variant<availability::Ready, availability::UnverifiedOS, availability::Unsupported,
                                       availability::NeedsNewerOS>;

namespace limit_result {
// The message shown to the user.
struct Failed {
    std::string message;
    bool operator==(const Failed&) const = default;
};
// macOS holds the requested state.
struct Applied {
    bool operator==(const Applied&) const = default;
};
// macOS accepted the limit; power management does not list it yet.
struct Pending {
    bool operator==(const Pending&) const = default;
};
}  // namespace limit_result

using LimitResult = std::variant<limit_result::Failed, limit_result::Applied, limit_result::Pending>;

struct ChargeLimit {
    // The versions ("major.minor") the limit is known to work on.
    static const std::set<std::string>& verified();

    // `backend` yields the backend and may throw; it is called only on a verified version.
    static LimitAvailability availability(const OSVersion& os,
                                          const std::function<std::shared_ptr<LimitBackend>()>& backend);

    // Sets `value` percent (100 or more clears the limit) and verifies it. Blocks: `wait`
    // is given whole seconds to pass before the read-back. Never throws.
    static LimitResult apply(std::int64_t value, LimitBackend& backend, bool onWallPower,
                             const std::function<void(std::uint32_t)>& wait);
};

}  // namespace norvane
