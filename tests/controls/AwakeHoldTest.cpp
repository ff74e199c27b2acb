#include "app/controls/AwakeHold.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/ProcessKernel.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

constexpr const char* rootDomain = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array><dict>
  <key>AppleClamshellState</key><false/>
  <key>AppleClamshellCausesSleep</key><true/>
</dict></array></plist>)";

class AwakeHoldTest : public ::testing::Test {
protected:
    testing::TempMachine temp;
    Path guard;
    const RegistryService root{"IOPMrootDomain", 0};
    MachineRegistry registry{temp.machine()};

    void SetUp() override {
        temp.write("ioreg/IOPMrootDomain.plist", rootDomain);
        // Stands in for our own executable started as the guard: it notes its arguments.
        guard = temp.write("guard", "#!/bin/sh\necho \"$@\" > \"$0.args\"\nexec sleep 30\n");
        std::filesystem::permissions(guard, std::filesystem::perms::owner_all);
    }
    bool lidSleeps() const { return registry.property(root, "AppleClamshellCausesSleep") == Value::boolean(true); }
    void closeLid(bool closed) const { registry.setProperty(root, "AppleClamshellState", Value::boolean(closed)); }
    std::size_t ownAssertions() const {
        const auto all = PowerAssertions(temp.machine()).byProcess();
        const Value* list = all ? all->find(std::to_string(::getpid())) : nullptr;
        return list ? list->asArray()->size() : 0;
    }
};

TEST_F(AwakeHoldTest, HoldsLidCloseSleepOffWhileAGuardWatches) {
    AwakeHold hold(temp.machine(), guard);
    hold.hold(true, true, ThermalState::nominal);
    ASSERT_TRUE(hold.lidGuard());
    const std::int32_t pid = hold.lidGuard()->pid();
    EXPECT_TRUE(processExists(pid));
    EXPECT_FALSE(lidSleeps());
    EXPECT_EQ(ownAssertions(), 1u);

    // Every call while holding keeps the one guard and sets the switch again.
    registry.setProperty(root, "AppleClamshellCausesSleep", Value::boolean(true));
    hold.hold(true, true, ThermalState::fair);
    EXPECT_EQ(hold.lidGuard()->pid(), pid);
    EXPECT_FALSE(lidSleeps());
    // The guard notes its arguments once it runs, which a busy machine may delay.
    std::optional<std::string> args;
    for (int i = 0; i < 1000 && !((args = readFile(guard.string() + ".args")) && args->ends_with('\n')); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(args, "--lid-guard " + std::to_string(::getpid()) + "\n");

    // The setting switched off: lid-close sleep back, the guard ended and reaped.
    hold.hold(true, false, ThermalState::nominal);
    EXPECT_FALSE(hold.lidGuard());
    EXPECT_TRUE(lidSleeps());
    EXPECT_FALSE(processExists(pid));
    EXPECT_EQ(ownAssertions(), 1u);

    hold.hold(false, true, ThermalState::nominal);
    EXPECT_EQ(ownAssertions(), 0u);
    EXPECT_EQ(hold.sleepBlock().id, 0u);
}

TEST_F(AwakeHoldTest, AHotMacWithItsLidClosedSleepsButStaysAwakeOtherwise) {
    AwakeHold hold(temp.machine(), guard);
    struct Case {
        bool closed;
        ThermalState thermal;
        bool guarded;
    };
    for (const auto& c : std::vector<Case>{{false, ThermalState::critical, true},
                                           {true, ThermalState::fair, true},
                                           {true, ThermalState::serious, false},
                                           {true, ThermalState::critical, false}}) {
        closeLid(c.closed);
        hold.hold(true, true, c.thermal);
        EXPECT_EQ(hold.lidGuard().has_value(), c.guarded) << c.closed << static_cast<int>(c.thermal);
        EXPECT_EQ(lidSleeps(), !c.guarded);
        EXPECT_EQ(ownAssertions(), 1u);  // the assertion stays either way
    }
}

TEST_F(AwakeHoldTest, NoGuardNoSwitchAndEverythingGivenBackAtTheEnd) {
    for (const std::optional<Path>& program : {std::optional<Path>(), std::optional<Path>(temp.root() / "absent")}) {
        AwakeHold hold(temp.machine(), program);
        hold.hold(true, true, ThermalState::nominal);
        EXPECT_FALSE(hold.lidGuard());
        EXPECT_TRUE(lidSleeps());
    }
    std::int32_t pid = 0;
    {
        AwakeHold hold(temp.machine(), guard);
        hold.hold(true, true, ThermalState::nominal);
        ASSERT_TRUE(hold.lidGuard());
        pid = hold.lidGuard()->pid();
    }
    EXPECT_TRUE(lidSleeps());
    EXPECT_FALSE(processExists(pid));
    EXPECT_EQ(ownAssertions(), 0u);
}

TEST_F(AwakeHoldTest, AGuardThatDiedIsReapedAndReplacedOrLidSleepGivenBack) {
    AwakeHold hold(temp.machine(), guard);
    const auto killGuard = [&] {
        const std::int32_t pid = hold.lidGuard()->pid();
        ::kill(pid, SIGKILL);
        EXPECT_TRUE(waitForProcessEnd(pid, 10));
        return pid;
    };
    hold.hold(true, true, ThermalState::nominal);
    ASSERT_TRUE(hold.lidGuard());
    const std::int32_t first = killGuard();
    hold.hold(true, true, ThermalState::nominal);
    ASSERT_TRUE(hold.lidGuard());
    EXPECT_NE(hold.lidGuard()->pid(), first);
    EXPECT_FALSE(processExists(first));  // reaped, not left a zombie
    EXPECT_FALSE(lidSleeps());

    // No guard can be started any more: lid-close sleep must not stay off unguarded.
    const std::int32_t second = killGuard();
    std::filesystem::permissions(guard, std::filesystem::perms::none);
    hold.hold(true, true, ThermalState::nominal);
    EXPECT_FALSE(hold.lidGuard());
    EXPECT_FALSE(processExists(second));
    EXPECT_TRUE(lidSleeps());
    EXPECT_EQ(ownAssertions(), 1u);
}

TEST_F(AwakeHoldTest, TheOwnAssertionIsHeldOnceAtMost) {
    const PowerAssertions assertions(temp.machine());
    SleepBlock block;
    block.set(false, assertions);
    EXPECT_EQ(block.id, 0u);
    block.set(true, assertions);
    block.set(true, assertions);
    EXPECT_NE(block.id, 0u);
    ASSERT_EQ(ownAssertions(), 1u);
    const auto held = assertions.byProcess()->find(std::to_string(::getpid()))->asArray()->front();
    EXPECT_EQ(*held.find("AssertType")->asString(), "PreventUserIdleSystemSleep");
    EXPECT_EQ(*held.find("AssertName")->asString(), "Norvane Stay awake");
    EXPECT_EQ(held.find("AssertLevel")->integerValue(), 255);
    block.set(false, assertions);
    EXPECT_EQ(block.id, 0u);
    EXPECT_EQ(ownAssertions(), 0u);

    // A failed creation leaves no id, so the next call tries again.
    temp.write("power/assertions.json", "broken");
    block.set(true, assertions);
    EXPECT_EQ(block.id, 0u);
    temp.write("power/assertions.json", "{}");
    block.set(true, assertions);
    EXPECT_NE(block.id, 0u);
    EXPECT_EQ(ownAssertions(), 1u);
    block.set(false, assertions);
}

TEST(Lid, ClosedOnlyWhenTheRootDomainSaysTrue) {
    const std::vector<std::pair<std::optional<std::string>, bool>> cases = {
        {std::nullopt, false},
        {"", false},
        {"<key>AppleClamshellState</key><true/>", true},
        {"<key>AppleClamshellState</key><false/>", false},
        {"<key>AppleClamshellState</key><integer>1</integer>", false},
        {"<key>AppleClamshellState</key><string>Yes</string>", false},
    };
    for (const auto& [properties, closed] : cases) {
        testing::TempMachine temp;
        if (properties) temp.write("ioreg/IOPMrootDomain.plist", "<plist><dict>" + *properties + "</dict></plist>");
        const Lid lid(temp.machine());
        EXPECT_EQ(lid.closed(), closed) << properties.value_or("(no root domain)");
        EXPECT_EQ(lid.setClamshellSleep(0), properties.has_value());
    }
}

}  // namespace
}  // namespace norvane
