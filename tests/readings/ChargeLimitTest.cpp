#include <gtest/gtest.h>

#include "app/readings/ChargeLimit.h"
#include "tests/support/ScriptedBackend.h"

namespace norvane {
namespace {

using namespace availability;
using namespace limit_result;
using testing::ScriptedBackend;

TEST(ChargeLimitAvailability, DecidesByVersionThenAsksTheBackend) {
    struct Case {
        OSVersion os;
        std::vector<std::int64_t> offered;
        bool supported;
        std::string failing;  // "factory" when the factory itself throws
        LimitAvailability expected;
        bool asked;
    };
    const std::vector<Case> cases{
        {{25, 9, 0}, {}, true, "", NeedsNewerOS{}, false},
        {{26, 3, 9}, {}, true, "", NeedsNewerOS{}, false},
        {{26, 4, 0}, {}, true, "", UnverifiedOS{"26.4"}, false},
        {{28, 0, 0}, {}, true, "", UnverifiedOS{"28.0"}, false},
        {{27, 2, 1}, {80, 100, 85, 90}, true, "", Ready{{80, 85, 90}}, true},
        {{27, 2, 0}, {100}, true, "", Ready{{}}, true},
        {{27, 2, 1}, {80}, false, "", Unsupported{"This Mac does not offer a charge limit"}, true},
        {{27, 2, 1}, {80}, true, "factory", Unsupported{"The charge limit service is missing on this macOS"}, true},
        {{27, 2, 1}, {80}, true, "supported", Unsupported{"macOS refused supported"}, true},
        {{27, 2, 1}, {80}, true, "available", Unsupported{"macOS refused available"}, true},
    };
    for (const auto& c : cases) {
        auto backend = std::make_shared<ScriptedBackend>();
        backend->offered = c.offered;
        backend->isSupported = c.supported;
        backend->failing = c.failing;
        bool asked = false;
        const auto result = ChargeLimit::availability(c.os, [&]() -> std::shared_ptr<LimitBackend> {
            asked = true;
            if (c.failing == "factory") throw Problem("The charge limit service is missing on this macOS");
            return backend;
        });
        EXPECT_EQ(result, c.expected) << c.os.major << "." << c.os.minor;
        EXPECT_EQ(asked, c.asked) << c.os.major << "." << c.os.minor;
    }
}

TEST(ChargeLimitApply, SetsVerifiesAndCountsRegistrationsOnlyOnWallPower) {
    struct Case {
        std::string name;
        std::int64_t value;
        bool onWallPower;
        std::deque<LimitSetting> reads;
        std::deque<std::int64_t> counts;
        std::string failing;
        LimitResult expected;
        std::vector<std::string> calls;
        std::vector<std::uint32_t> waits;
    };
    const std::vector<Case> cases{
        {"not offered", 95, false, {{80, true}}, {0}, "", Failed{"macOS does not offer 95%"}, {"available"}, {}},
        {"on battery", 85, false, {{85, true}}, {0}, "", Applied{}, {"available", "set 85", "read"}, {2}},
        {"wall, unlisted", 85, true, {{85, true}}, {0}, "", Pending{},
         {"available", "set 85", "read", "registrations"}, {2}},
        {"wall, listed", 85, true, {{85, true}}, {1}, "", Applied{},
         {"available", "set 85", "read", "registrations"}, {2}},
        {"read back off", 85, true, {{85, false}}, {1}, "", Failed{"macOS reports no limit instead of 85%"},
         {"available", "set 85", "read"}, {2}},
        {"read back other", 85, false, {{80, true}}, {1}, "", Failed{"macOS reports 80% instead of 85%"},
         {"available", "set 85", "read"}, {2}},
        {"set refused", 85, false, {{85, true}}, {1}, "set 85", Failed{"macOS refused set 85"},
         {"available", "set 85"}, {}},
        {"clear, nothing held", 100, true, {{80, false}}, {0}, "", Applied{},
         {"read", "registrations", "read", "registrations"}, {}},
        {"clear, stale registration goes", 100, true, {{80, true}, {80, false}}, {1, 0}, "", Applied{},
         {"read", "disable", "registrations", "enable", "disable", "read", "registrations"}, {2, 1, 2}},
        {"clear, registration stays", 100, true, {{80, true}, {80, false}}, {1}, "",
         Failed{"macOS is still holding a charge limit"},
         {"read", "disable", "registrations", "enable", "disable", "read", "registrations"}, {2, 1, 2}},
        {"clear, still enabled", 120, false, {{80, true}}, {0}, "", Failed{"macOS is still holding a charge limit"},
         {"read", "disable", "registrations", "read"}, {2}},
        {"clear, disable refused", 100, true, {{80, true}}, {0}, "disable", Failed{"macOS refused disable"},
         {"read", "disable"}, {}},
    };
    for (const auto& c : cases) {
        ScriptedBackend backend;
        backend.reads = c.reads;
        backend.counts = c.counts;
        backend.failing = c.failing;
        std::vector<std::uint32_t> waits;
        const auto result =
            ChargeLimit::apply(c.value, backend, c.onWallPower, [&](std::uint32_t s) { waits.push_back(s); });
        EXPECT_EQ(result, c.expected) << c.name;
        EXPECT_EQ(backend.calls, c.calls) << c.name;
        EXPECT_EQ(waits, c.waits) << c.name;
    }
}

}  // namespace
}  // namespace norvane
