#include <gtest/gtest.h>

#include "app/readings/Charger.h"
#include "platform/PropertyList.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using namespace charging_state;

Value::Dictionary plist(std::string_view dictBody) {
    const auto value = parsePropertyList("<plist><dict>" + std::string(dictBody) + "</dict></plist>");
    return value && value->isDictionary() ? *value->asDictionary() : Value::Dictionary{};
}

TEST(Charger, TakesNameWattsAndWirelessOnlyOfTheirKinds) {
    struct Case {
        std::string details;
        std::optional<Charger> expected;
    };
    const std::vector<Case> cases{
        {"", std::nullopt},
        {"<key>Name</key><string>96W USB-C</string><key>Watts</key><integer>96</integer>",
         Charger{"96W USB-C", 96, false}},
        {"<key>IsWireless</key><true/>", Charger{std::nullopt, std::nullopt, true}},
        {"<key>Name</key><integer>5</integer><key>Watts</key><real>96.5</real><key>IsWireless</key><integer>1</integer>",
         Charger{}},
        {"<key>Watts</key><string>96</string><key>IsWireless</key><false/>", Charger{}},
    };
    for (const auto& c : cases) {
        const auto details = plist(c.details);
        EXPECT_EQ(charger(&details), c.expected) << c.details;
    }
    EXPECT_EQ(charger(nullptr), std::nullopt);
}

TEST(Charger, ComesFromTheBatteryEntryOnlyWhilePluggedIn) {
    testing::TempMachine temp;
    const MachinePowerSources sources(temp.machine());
    const std::string details = "<key>AdapterDetails</key><dict><key>Watts</key><integer>70</integer></dict>";
    struct Case {
        std::optional<std::string> entry;  // none: no battery
        std::optional<Charger> charger;
        std::string_view source;
    };
    const std::vector<Case> cases{
        {"<key>ExternalConnected</key><false/>" + details, std::nullopt, batteryPower},
        {"<key>ExternalConnected</key><true/>" + details, Charger{std::nullopt, 70, false}, acPower},
        {"<key>ExternalConnected</key><true/><key>AdapterDetails</key><integer>3</integer>", std::nullopt, acPower},
        {std::nullopt, std::nullopt, acPower},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(temp.root() / "ioreg/AppleSmartBattery.plist");
        if (c.entry) temp.write("ioreg/AppleSmartBattery.plist", "<plist><dict>" + *c.entry + "</dict></plist>");
        EXPECT_EQ(readCharger(sources), c.charger) << c.entry.value_or("no battery");
        EXPECT_EQ(sources.providingSource(), c.source) << c.entry.value_or("no battery");
    }
}

TEST(PowerFlow, FromTelemetryOnTheAdapterAndFromVoltageAndCurrentOnBattery) {
    const std::string plugged = "<key>ExternalConnected</key><true/>";
    const auto telemetry = [&](std::string_view body) {
        return plugged + "<key>PowerTelemetryData</key><dict>" + std::string(body) + "</dict>";
    };
    struct Case {
        std::string properties;
        PowerFlow expected;
    };
    const std::vector<Case> cases{
        {telemetry("<key>SystemLoad</key><integer>12500</integer><key>SystemPowerIn</key><integer>0</integer>"),
         {12.5, 0.0}},
        {telemetry("<key>SystemLoad</key><integer>600000</integer><key>SystemPowerIn</key><integer>500000</integer>"),
         {std::nullopt, 500.0}},
        {telemetry("<key>SystemLoad</key><integer>0</integer><key>SystemPowerIn</key><string>5</string>"), {}},
        {telemetry("<key>SystemLoad</key><integer>18446744073709551615</integer>"), {}},  // -1 mW
        {plugged, {}},
        {plugged + "<key>PowerTelemetryData</key><integer>1</integer>", {}},
        {"<key>Voltage</key><integer>12000</integer><key>Amperage</key><integer>-1000</integer>", {12.0, std::nullopt}},
        {"<key>Voltage</key><integer>12000</integer><key>Amperage</key><integer>500</integer>", {}},
        {"<key>ExternalConnected</key><integer>1</integer><key>Voltage</key><integer>12000</integer>"
         "<key>Amperage</key><integer>-500</integer>",
         {6.0, std::nullopt}},
    };
    for (const auto& c : cases) EXPECT_EQ(powerFlow(plist(c.properties)), c.expected) << c.properties;
}

TEST(ChargerFlags, ReadTheUnsignedReasonOfTheChargerData) {
    const auto flags = [](std::string_view reason) {
        return chargerFlags(plist("<key>ChargerData</key><dict><key>NotChargingReason</key>" + std::string(reason) +
                                  "</dict>")).notChargingReason;
    };
    EXPECT_EQ(flags("<integer>16777216</integer>"), 0x1000000u);
    EXPECT_EQ(flags("<integer>18446744073709551615</integer>"), UINT64_MAX);
    EXPECT_EQ(flags("<true/>"), 0u);
    EXPECT_EQ(chargerFlags(plist("<key>NotChargingReason</key><integer>4</integer>")).notChargingReason, 0u);
}

TEST(ChargingState, FirstRuleThatAppliesDecides) {
    const auto battery = [](bool plugged, bool charging, std::int64_t percent, std::int64_t milliamps) {
        Battery b;
        b.plugged = plugged, b.charging = charging, b.percent = percent, b.milliamps = milliamps, b.millivolts = 12000;
        return b;
    };
    const PowerFlow weakFlow{20.0, 20.0}, tinyFlow{20.0, 0.5};
    const Charger sixty{"60W", 60, false};
    struct Case {
        std::string name;
        Battery battery;
        std::uint64_t reason;
        std::optional<PowerFlow> flow;
        std::int64_t limit;
        ChargingState expected;
    };
    const std::vector<Case> cases{
        {"unplugged", battery(false, true, 50, 1000), 0, {}, 100, OnBattery{}},
        {"charging", battery(true, true, 50, 1000), 0, {}, 80, Charging{12.0}},
        {"charging at 0 mA", battery(true, true, 50, 0), 0, {}, 100, Charging{}},
        {"full", battery(true, false, 100, 0), 0x1000000, {}, 100, Full{}},
        {"99% without a limit", battery(true, false, 99, 0), 0, {}, 100, NotCharging{}},
        {"weak charger", battery(true, false, 50, -125), 0, weakFlow, 80, WeakCharger{60}},
        {"tiny adapter figure", battery(true, false, 50, -125), 0, tinyFlow, 100, NotCharging{}},
        {"discharging by 1 W", battery(true, false, 50, -83), 0, weakFlow, 100, NotCharging{}},
        {"holding", battery(true, false, 78, 0), 0x4, {}, 80, Holding{80}},
        {"below the limit's margin", battery(true, false, 77, 0), 0x4, {}, 80, TooWarm{}},
        {"paused before warm", battery(true, false, 60, 0), 0x1000004, {}, 100, Paused{}},
        {"too warm", battery(true, false, 60, 0), 0x10 | 0x2, {}, 100, TooWarm{}},
        {"too cold", battery(true, false, 60, 0), 0x8, {}, 100, TooCold{}},
        {"other bits", battery(true, false, 60, 0), 0x1, {}, 100, NotCharging{}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chargingState(c.battery, {c.reason}, c.flow, sixty, c.limit), c.expected) << c.name;
    EXPECT_EQ(chargingState(battery(true, false, 50, -125), {}, weakFlow, std::nullopt, 100), ChargingState(WeakCharger{}));
}

TEST(ChargingWords, TitleAndDetailOfEveryState) {
    const std::vector<std::pair<ChargingState, Headline>> cases{
        {Charging{7.6}, {"Charging", "8 W is going into the battery"}},
        {Charging{}, {"Charging", "The battery is filling up"}},
        {Holding{80}, {"Holding at your limit", "Charging stops at 80% because you set a charge limit"}},
        {WeakCharger{30}, {"Charger is too weak", "This 30 W charger gives less than the Mac is using"}},
        {WeakCharger{}, {"Charger is too weak", "The charger gives less than the Mac is using"}},
        {OnBattery{}, {"On battery", "No charger is plugged in"}},
        {Full{}, {"Fully charged", "Running on wall power"}},
        {Paused{}, {"Paused by macOS", "macOS is holding the charge on purpose to protect the battery"}},
        {TooWarm{}, {"Too warm to charge", "Charging resumes when the battery cools down"}},
        {TooCold{}, {"Too cold to charge", "Charging resumes when the battery warms up"}},
        {NotCharging{}, {"Not charging", "Plugged in. macOS does not say why"}},
    };
    for (const auto& [state, words] : cases) EXPECT_EQ(chargingWords(state), words) << words.title;
}

}  // namespace
}  // namespace norvane
