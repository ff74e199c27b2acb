#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/readings/ChargeLimit.h"
#include "app/readings/PowerUIBackend.h"
#include "platform/SmartChargeClient.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

// A machine whose charge-limit service the test describes; the battery is plugged in
// or not.
class PowerUIBackendTest : public ::testing::Test {
protected:
    TempMachine temp;
    SystemProcessRunner runner{temp.machine()};
    MachineFrameworks frameworks{temp.machine()};

    void service(const std::string& members, bool plugged = false) {
        temp.write("PowerUI/SmartChargeClient.json",
                   R"({"supported": true, "limits": [80, 85, 90, 100], "limit": 80, )" + members + "}");
        temp.write("ioreg/AppleSmartBattery.plist", std::string("<plist><dict><key>ExternalConnected</key>") +
                                                        (plugged ? "<true/>" : "<false/>") + "</dict></plist>");
    }
    std::string state() const { return readFile(temp.root() / "PowerUI/SmartChargeClient.json").value_or(""); }
    ChargeServiceState decoded() const { return readChargeService(temp.machine()).value(); }

    // The Problem text of an operation, or "" when it succeeds.
    template <class F>
    std::string problem(F&& operation) {
        try {
            PowerUIBackend backend(frameworks, runner);
            operation(backend);
        } catch (const Problem& p) {
            return p.description;
        }
        return "";
    }
};

TEST_F(PowerUIBackendTest, EveryFailureSaysWhatWentWrong) {
    EXPECT_EQ(problem([](auto&) {}), "The charge limit service is missing on this macOS");
    struct Case {
        std::string faults;
        std::function<void(PowerUIBackend&)> operation;
        std::string expected;
    };
    const std::vector<Case> cases{
        {R"({"initWithClientName:": "missing"})", [](auto&) {}, "The charge limit service could not be opened"},
        {R"({"initWithClientName:": "no"})", [](auto&) {}, "The charge limit service could not be opened"},
        {R"({"getMCLLimitWithError:": "missing"})", [](auto& b) { b.read(); },
         "macOS changed its charge limit service (getMCLLimitWithError: is gone)"},
        // Both are looked up before either is called: the first call's error never shows.
        {R"({"isMCLCurrentlyEnabled:": "missing", "getMCLLimitWithError:": {"error": "first"}})",
         [](auto& b) { b.read(); }, "macOS changed its charge limit service (isMCLCurrentlyEnabled: is gone)"},
        {R"({"getMCLLimitWithError:": {"error": "No limit today."}})", [](auto& b) { b.read(); }, "No limit today."},
        {R"({"disableMCL:": "no"})", [](auto& b) { b.disableLimit(); }, "macOS refused disableMCL:"},
        {R"({"enableMCL:": {"error": "The operation couldn’t be completed."}})", [](auto& b) { b.enableLimit(); },
         "The operation couldn’t be completed."},
        {R"({"setMCLLimit:error:": "no"})", [](auto& b) { b.set(85); }, "macOS refused the limit"},
        // Outside a byte the value never reaches the service (336 would arrive as 80).
        {R"({"setMCLLimit:error:": {"error": "reached"}})", [](auto& b) { b.set(336); }, "macOS does not offer 336%"},
        {R"({"setMCLLimit:error:": {"error": "reached"}})", [](auto& b) { b.set(-1); }, "macOS does not offer -1%"},
        {"{}", [](auto& b) { b.set(95); }, "macOS refused the limit"},  // the service offers no 95
        {R"({"isSmartChargingCurrentlyEnabled:": {"error": "Busy."}})", [](auto& b) { b.optimised(); }, "Busy."},
        {R"({"availableChargeLimitsWithError:": {"error": "Busy."}})", [](auto& b) { b.available(); }, "Busy."},
        {R"({"enableSmartCharging:": "missing"})", [](auto& b) { b.enableSmartCharging(); },
         "macOS changed its charge limit service (enableSmartCharging: is gone)"},
    };
    for (const auto& c : cases) {
        service(R"("faults": )" + c.faults);
        EXPECT_EQ(problem(c.operation), c.expected) << c.faults;
    }
    temp.write("PowerUI/SmartChargeClient.json", "{ not json");
    EXPECT_EQ(problem([](auto&) {}), "The charge limit service could not be opened");
}

TEST_F(PowerUIBackendTest, ReadsWhatTheServiceAndPmsetHold) {
    service(R"("limit": 85, "enabled": true, "smartCharging": true)");
    PowerUIBackend backend(frameworks, runner);
    EXPECT_EQ(backend.read(), (LimitSetting{85, true}));
    EXPECT_EQ(backend.available(), (std::vector<std::int64_t>{80, 85, 90, 100}));
    EXPECT_TRUE(backend.optimised() && backend.supported());
    service(R"("limits": ["eighty", 85])");
    EXPECT_EQ(backend.available(), std::vector<std::int64_t>{85});
    service(R"("limits": "eighty")");
    EXPECT_EQ(backend.available(), std::vector<std::int64_t>{});
    service(R"("faults": {"availableChargeLimitsWithError:": "no"})");  // nil, and no error
    EXPECT_EQ(backend.available(), std::vector<std::int64_t>{});

    // Registrations are pmset's, on wall power only.
    service(R"("registrations": 2)", true);
    EXPECT_EQ(backend.registrations(), 2);
    service(R"("registrations": 2)", false);
    EXPECT_EQ(backend.registrations(), 0);
    service(R"("registrations": 1000000000)", true);
    EXPECT_EQ(backend.registrations(), 64);  // a runaway count is cut
    std::filesystem::remove(temp.root() / "usr/bin/pmset");
    EXPECT_EQ(backend.registrations(), 0);
}

TEST_F(PowerUIBackendTest, ChargeFullNowLiftsWhatHoldsTheChargeAndRestoresTheLimitWhenItFails) {
    const std::vector<std::pair<std::string, FullCharge>> lifted{
        {R"("enabled": false, "smartCharging": false)", {std::nullopt, false}},
        {R"("enabled": true, "smartCharging": true)", {80, true}},
        {R"("enabled": true, "smartCharging": false)", {80, false}},
        {R"("enabled": false, "smartCharging": true)", {std::nullopt, true}},
        // The error of the smart-charging question is ignored; its yes still counts.
        {R"("enabled": false, "smartCharging": true, "faults": {"isSmartChargingCurrentlyEnabled:": {"error": "x"}})",
         {std::nullopt, true}},
    };
    for (const auto& [members, expected] : lifted) {
        service(members);
        const std::string before = state();
        FullCharge full;
        EXPECT_EQ(problem([&](auto& b) { full = b.chargeFullNow(); }), "") << members;
        EXPECT_EQ(full, expected) << members;
        EXPECT_FALSE(decoded().enabled && !decoded().limitSuspended) << members;
        // Nothing that changes the service runs when nothing holds the charge.
        if (expected == FullCharge{}) {
            EXPECT_EQ(state(), before) << members;
        }
    }
    const std::vector<std::pair<std::string, std::string>> failing{
        {R"("enabled": true, "smartCharging": true, "faults": {"temporarilyDisableSmartCharging:": "no"})",
         "macOS refused temporarilyDisableSmartCharging:"},
        {R"("enabled": true, "faults": {"isSmartChargingCurrentlyEnabled:": "missing"})",
         "macOS changed its charge limit service (isSmartChargingCurrentlyEnabled: is gone)"},
        {R"("enabled": true, "faults": {"temporarilyDisableMCL:": "no"})", "macOS refused temporarilyDisableMCL:"},
    };
    for (const auto& [members, text] : failing) {
        service(members);
        EXPECT_EQ(problem([](auto& b) { b.chargeFullNow(); }), text) << members;
        EXPECT_TRUE(decoded().enabled && !decoded().limitSuspended) << members;  // the limit is back
    }
}

TEST_F(PowerUIBackendTest, ApplyThroughTheServiceAndPmset) {
    const auto noWait = [](std::uint32_t) {};
    service(R"("enabled": false)", true);
    PowerUIBackend backend(frameworks, runner);
    EXPECT_EQ(ChargeLimit::apply(85, backend, true, noWait), LimitResult(limit_result::Applied{}));
    EXPECT_EQ(decoded().registrations, 1);
    EXPECT_EQ(ChargeLimit::apply(100, backend, true, noWait), LimitResult(limit_result::Applied{}));

    // A stale second registration goes with the switch off, on and off again.
    service(R"("enabled": true, "registrations": 2)", true);
    EXPECT_EQ(ChargeLimit::apply(100, backend, true, noWait), LimitResult(limit_result::Applied{}));
    EXPECT_EQ(decoded().registrations, 0);

    // Power management that does not follow: the new limit is pending, the old one stays held.
    service(R"("enabled": false, "registrationsFrozen": true)", true);
    EXPECT_EQ(ChargeLimit::apply(85, backend, true, noWait), LimitResult(limit_result::Pending{}));
    service(R"("enabled": true, "registrations": 1, "registrationsFrozen": true)", true);
    EXPECT_EQ(ChargeLimit::apply(100, backend, true, noWait),
              LimitResult(limit_result::Failed{"macOS is still holding a charge limit"}));
}

TEST_F(PowerUIBackendTest, TwoThreadsChangingTheServiceLoseNothing) {
    service(R"("enabled": false, "smartCharging": false)");
    PowerUIBackend backend(frameworks, runner);
    // Each thread changes its own setting and checks that the other did not undo it.
    constexpr int rounds = 150;
    std::atomic<int> lost = 0;
    std::thread limits([&] {
        for (int i = 0; i < rounds; ++i) {
            const std::int64_t percent = i % 2 ? 85 : 90;
            backend.set(percent);
            if (backend.read().limit != percent) ++lost;
        }
    });
    for (int i = 0; i < rounds; ++i) {
        backend.enableSmartCharging();
        if (!backend.optimised()) ++lost;
        backend.chargeFullNow();
        if (backend.optimised()) ++lost;
    }
    limits.join();
    EXPECT_EQ(lost, 0);
}

}  // namespace
}  // namespace norvane
