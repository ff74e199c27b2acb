#include "app/readings/ChargeLimit.h"

#include <algorithm>

namespace norvane {
namespace {

LimitResult setLimit(std::int64_t value, LimitBackend& backend, bool onWallPower,
                     const std::function<void(std::uint32_t)>& wait) {
    const auto offered = backend.available();
    const std::string percent = std::to_string(value) + "%";
    if (std::find(offered.begin(), offered.end(), value) == offered.end())
        return limit_result::Failed{"macOS does not offer " + percent};
    backend.set(value);
    wait(2);
    const LimitSetting back = backend.read();
    if (!back.enabled || back.limit != value) {
        const std::string held = back.enabled ? std::to_string(back.limit) + "%" : "no limit";
        return limit_result::Failed{"macOS reports " + held + " instead of " + percent};
    }
    // Power management takes up a new limit only on wall power, and sometimes later.
    if (onWallPower && backend.registrations() == 0) return limit_result::Pending{};
    return limit_result::Applied{};
}

LimitResult clearLimit(LimitBackend& backend, const std::function<void(std::uint32_t)>& wait) {
    if (backend.read().enabled) {
        backend.disableLimit();
        wait(2);
    }
    // A registration that outlives the limit goes with one more switch on and off.
    if (backend.registrations() >= 1) {
        backend.enableLimit();
        wait(1);
        backend.disableLimit();
        wait(2);
    }
    if (!backend.read().enabled && backend.registrations() == 0) return limit_result::Applied{};
    return limit_result::Failed{"macOS is still holding a charge limit"};
}

}  // namespace

const std::set<std::string>& ChargeLimit::verified() {
    static const std::set<std::string> versions{"27.2"};
    return versions;
}

LimitAvailability ChargeLimit::availability(const OSVersion& os,
                                            const std::function<std::shared_ptr<LimitBackend>()>& backend) {
    if (os.major < 26 || (os.major == 26 && os.minor < 4)) return availability::NeedsNewerOS{};
    const std::string key = std::to_string(os.major) + "." + std::to_string(os.minor);
    if (!verified().contains(key)) return availability::UnverifiedOS{key};
    try {
        const auto service = backend();
        if (!service) return availability::Unsupported{"The charge limit service is missing on this macOS"};
        if (!service->supported()) return availability::Unsupported{"This Mac does not offer a charge limit"};
        std::vector<std::int64_t> limits;
        for (const auto value : service->available())
            if (value <= 99) limits.push_back(value);
        std::sort(limits.begin(), limits.end());
        return availability::Ready{std::move(limits)};
    } catch (const std::exception& error) {
        return availability::Unsupported{error.what()};
    }
}

LimitResult ChargeLimit::apply(std::int64_t value, LimitBackend& backend, bool onWallPower,
                               const std::function<void(std::uint32_t)>& wait) {
    try {
        return value < 100 ? setLimit(value, backend, onWallPower, wait) : clearLimit(backend, wait);
    } catch (const std::exception& error) {
        return limit_result::Failed{error.what()};
    }
}

}  // namespace norvane
