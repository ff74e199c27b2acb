#include <gtest/gtest.h>

#include "platform/SystemState.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

std::string battery(bool plugged) {
    return std::string("<plist><dict><key>ExternalConnected</key><") + (plugged ? "true" : "false") +
           "/></dict></plist>";
}

TEST(MachineSystemState, LowPowerModeIsTheSettingOfThePowerSourceInUse) {
    struct Case {
        const char* settings;  // nullptr: no file
        bool plugged;
        bool highPower;  // the Mac shows "powermode", else "lowpowermode"
        bool on;
    };
    const Case cases[] = {
        {R"({"AC Power": {"lowpowermode": 0}, "Battery Power": {"lowpowermode": 1}})", false, false, true},
        {R"({"AC Power": {"lowpowermode": 0}, "Battery Power": {"lowpowermode": 1}})", true, false, false},
        // The setting the Mac shows decides; the other only when that one is missing.
        {R"({"AC Power": {"lowpowermode": 0, "powermode": 1}})", true, false, false},
        {R"({"AC Power": {"lowpowermode": 0, "powermode": 1}})", true, true, true},
        {R"({"AC Power": {"powermode": 1}})", true, false, true},
        {R"({"AC Power": {"lowpowermode": 1}})", true, true, true},
        {R"({"Battery Power": {"powermode": 2, "lowpowermode": "1"}})", false, false, false},
        {R"({"Battery Power": {"powermode": 7, "lowpowermode": 1}})", false, true, true},
        {R"([1])", false, false, false},
        {nullptr, false, false, false},
    };
    testing::TempMachine machine;
    const MachineSystemState info(machine.machine());
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.settings ? c.settings : "(no file)") + (c.highPower ? " high" : ""));
        std::filesystem::remove(machine.root() / "pmset/settings.json");
        if (c.settings) machine.write("pmset/settings.json", c.settings);
        machine.write("pmset/capabilities.txt", c.highPower ? " highpowermode\n" : " lowpowermode\n");
        machine.write("ioreg/AppleSmartBattery.plist", battery(c.plugged));
        EXPECT_EQ(info.lowPowerModeEnabled(), c.on);
    }
}

TEST(MachineSystemState, ThermalStateFromTheFolderElseFromTheZones) {
    testing::TempMachine machine;
    testing::TempFolder zones;
    zones.write("thermal_zone0/temp", "90000\n");
    zones.write("thermal_zone0/trip_point_0_type", "passive\n");
    zones.write("thermal_zone0/trip_point_0_temp", "85000\n");
    const MachineSystemState info(machine.machine(), zones.path());
    EXPECT_EQ(info.thermalState(), ThermalState::serious);
    for (const auto& [file, state] : std::vector<std::pair<std::string, ThermalState>>{
             {R"({"thermalState": 3})", ThermalState::critical},
             {R"({"thermalState": 0})", ThermalState::nominal},
             {R"({"thermalState": 4})", ThermalState::nominal},
             {R"({"thermalState": "serious"})", ThermalState::nominal},
             {"not json", ThermalState::nominal}}) {
        machine.write("power/thermal.json", file);
        EXPECT_EQ(info.thermalState(), state) << file;
    }
}

TEST(ThermalZones, TheHottestTripReachedDecides) {
    testing::TempFolder folder;
    const auto zone = [&](int n, const char* temp, std::vector<std::pair<const char*, const char*>> trips) {
        const std::string name = "thermal_zone" + std::to_string(n) + "/";
        folder.write(name + "temp", temp);
        for (std::size_t i = 0; i < trips.size(); ++i) {
            folder.write(name + "trip_point_" + std::to_string(i) + "_type", trips[i].first);
            folder.write(name + "trip_point_" + std::to_string(i) + "_temp", trips[i].second);
        }
    };
    zone(0, "50000", {{"active", "45000"}, {"passive", "85000"}, {"critical", "105000"}});
    zone(1, "warm", {{"active", "1000"}});      // unreadable temperature: left out
    zone(2, "60000", {{"hot", "0"}, {"active", "x"}});  // unused and unreadable trips
    folder.write("cooling_device0/temp", "99000");
    auto zones = readThermalZones(folder.path());
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(thermalState(zones), ThermalState::fair);

    using Z = ThermalZone;
    EXPECT_EQ(thermalState({Z{44.9, {{"active", 45}}}}), ThermalState::nominal);
    EXPECT_EQ(thermalState({Z{85, {{"active", 45}, {"passive", 85}}}}), ThermalState::serious);
    EXPECT_EQ(thermalState({Z{40, {{"passive", 85}}}, Z{101, {{"hot", 100}}}}), ThermalState::critical);
    EXPECT_EQ(thermalState({Z{120, {{"unknown", 20}}}}), ThermalState::nominal);
}

}  // namespace
}  // namespace norvane
