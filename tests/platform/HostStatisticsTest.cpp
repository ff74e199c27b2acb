#include <gtest/gtest.h>

#include "platform/HostStatistics.h"
#include "platform/SystemControl.h"
#include "platform/SystemState.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

TEST(HostStatistics, ProcStatCountsInterruptsAsSystemAndWaitingAsIdle) {
    const std::vector<std::pair<std::string, std::optional<CpuLoad>>> cases{
        {"cpu  10 2 30 400 5 6 7 8 0 0\ncpu0 1 1 1 1 1 1 1 1 0 0\n", CpuLoad{10, 43, 405, 2}},
        {"intr 5\ncpu 1 2 3 4\n", CpuLoad{1, 3, 4, 2}},
        {"cpu 1 2 3\n", std::nullopt},
        {"cpu 1 -2 3 4\n", std::nullopt},
        {"cpu0 1 2 3 4\n", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseCpuLoad(text), expected) << text;
}

TEST(HostStatistics, MeminfoMapsToPagesOfTheMacsKinds) {
    const std::string meminfo =
        "MemTotal:       16384 kB\nAnonPages:        400 kB\nShmem:            100 kB\nUnevictable:        8 kB\n"
        "KernelStack:       16 kB\nPageTables:        24 kB\nSUnreclaim:        32 kB\nSReclaimable:    999 kB\n"
        "Zswap:             40 kB\n";
    EXPECT_EQ(parseMeminfo(meminfo, 1024), (VirtualMemory{1024, 500, 0, 80, 40}));
    EXPECT_EQ(meminfoTotal(meminfo), 16384u * 1024);
    EXPECT_EQ(parseMeminfo("AnonPages: 6 kB\n", 4096), (VirtualMemory{4096, 1, 0, 0, 0}));  // whole pages
    for (const char* bad : {"MemTotal: 1 kB\n", "AnonPages: lots kB\n", "AnonPages: 18446744073709551615 kB\n"})
        EXPECT_FALSE(parseMeminfo(bad, 4096)) << bad;
    EXPECT_FALSE(parseMeminfo("AnonPages: 8 kB\n", 0));
}

TEST(HostStatistics, TheFoldersFilesWinOverLinux) {
    testing::TempMachine temp;
    const MachineHostStatistics host(temp.machine());
    // This machine's own figures first.
    EXPECT_TRUE(host.cpuLoad());
    EXPECT_TRUE(host.virtualMemory());
    EXPECT_TRUE(host.interfaces());
    EXPECT_GT(host.physicalMemory(), 0u);

    temp.write("proc/stat", "cpu 1 2 3 4\n");
    temp.write("proc/meminfo", "MemTotal: 2 kB\nAnonPages: 1 kB\n");
    temp.write("proc/net/dev",
               "Inter-|   Receive    |  Transmit\n face |bytes    packets|bytes    packets\n"
               "    lo:    3267      29    0    0    0     0          0         0     3267      29    0    0    0  0  0  0\n"
               "   en0:36864110 816 0 0 0 0 0 0 40090 467 0 0 0 0 0 0\n  bad0: 1 2 3\n  bad1: x 0 0 0 0 0 0 0 1 0\n");
    EXPECT_EQ(host.cpuLoad(), (CpuLoad{1, 3, 4, 2}));
    EXPECT_EQ(host.physicalMemory(), 2048u);
    EXPECT_EQ(host.interfaces(), (std::vector<NetworkInterface>{{"lo", 3267, 3267}, {"en0", 36864110, 40090}}));

    // A file of the folder that cannot be read leaves the figure out; Linux does not step in.
    for (const char* name : {"proc/stat", "proc/meminfo", "proc/net/dev"}) {
        std::filesystem::remove(temp.root() / name);
        std::filesystem::create_directories(temp.root() / name);
    }
    EXPECT_FALSE(host.cpuLoad());
    EXPECT_FALSE(host.virtualMemory());
    EXPECT_FALSE(host.interfaces());
    EXPECT_GT(host.physicalMemory(), 0u);  // always known

    const auto root = host.volumeCapacity("/");
    ASSERT_TRUE(root && root->total && root->available);
    EXPECT_GT(*root->total, 0u);
    EXPECT_LE(*root->available, *root->total);
    EXPECT_FALSE(host.volumeCapacity(temp.root() / "missing"));
}

TEST(SystemControl, TheMachineFolderWinsOverLinux) {
    testing::TempMachine temp;
    const MachineSystemControl controls(temp.machine());
    // Without the folder's value, Linux's model name, when it has one.
    const auto cpuinfo = readFile("/proc/cpuinfo");
    EXPECT_EQ(controls.text("machdep.cpu.brand_string"), cpuinfo ? keyedValue(*cpuinfo, "model name") : std::nullopt);
    EXPECT_EQ(controls.text("kern.nothing"), std::nullopt);

    temp.write("sysctl.txt",
               "kern.version: Darwin: 27\nmachdep.cpu.brand_string :  Apple M2 Max \r\n"
               "machdep.cpu.brand_string: later\n");
    EXPECT_EQ(controls.text("machdep.cpu.brand_string"), "Apple M2 Max");
    EXPECT_EQ(controls.text("kern.version"), "Darwin: 27");
    EXPECT_EQ(controls.text("kern"), std::nullopt);
    // Memory pressure: the folder's value, else its stall figures.
    std::filesystem::remove(temp.root() / "sysctl.txt");
    temp.write("proc/pressure/memory", "some avg10=20.00 avg60=0 avg300=0 total=1\n");
    EXPECT_EQ(controls.text("kern.memorystatus_vm_pressure_level"), "2");
    temp.write("sysctl.txt", "kern.memorystatus_vm_pressure_level: 4\nhw.model: Mac15,6\n");
    EXPECT_EQ(controls.text("kern.memorystatus_vm_pressure_level"), "4");
    EXPECT_EQ(controls.text("hw.model"), "Mac15,6");
}

TEST(SystemControl, MemoryPressureFromTheStallFigures) {
    const std::vector<std::pair<std::string, std::optional<int>>> cases{
        {"some avg10=9.99 avg60=0 avg300=0 total=1\nfull avg10=9.99 avg60=0 avg300=0 total=1\n", 1},
        {"some avg10=10.00 avg60=0 avg300=0 total=1\nfull avg10=2.00 avg60=0 avg300=0 total=1\n", 2},
        {"some avg10=35.00 avg60=0 avg300=0 total=1\nfull avg10=12.50 avg60=0 avg300=0 total=1\n", 4},
        {"some avg10=nan\n", 1},
        {"full avg10=50.00\nsome avg60=50.00\n", std::nullopt},
    };
    for (const auto& [text, level] : cases)
        EXPECT_EQ(memoryPressureLevel(text), level) << text;
}

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

TEST(ThermalState, TheFoldersElseTheHottestTripReachedInTheZones) {
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
    zone(1, "warm", {{"active", "1000"}});              // unreadable temperature: left out
    zone(2, "60000", {{"hot", "0"}, {"active", "x"}});  // unused and unreadable trips
    folder.write("cooling_device0/temp", "99000");
    auto zones = readThermalZones(folder.path());
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(thermalState(zones), ThermalState::fair);
    // The machine folder's state wins over the zones, even one it cannot read.
    testing::TempMachine machine;
    const MachineSystemState info(machine.machine(), folder.path());
    EXPECT_EQ(info.thermalState(), ThermalState::fair);
    for (const auto& [file, state] :
         std::vector<std::pair<std::string, ThermalState>>{{R"({"thermalState": 3})", ThermalState::critical},
                                                           {R"({"thermalState": 0})", ThermalState::nominal},
                                                           {R"({"thermalState": 4})", ThermalState::nominal},
                                                           {R"({"thermalState": "serious"})", ThermalState::nominal},
                                                           {"not json", ThermalState::nominal}}) {
        machine.write("power/thermal.json", file);
        EXPECT_EQ(info.thermalState(), state) << file;
    }

    using Z = ThermalZone;
    EXPECT_EQ(thermalState({Z{44.9, {{"active", 45}}}}), ThermalState::nominal);
    EXPECT_EQ(thermalState({Z{85, {{"active", 45}, {"passive", 85}}}}), ThermalState::serious);
    EXPECT_EQ(thermalState({Z{40, {{"passive", 85}}}, Z{101, {{"hot", 100}}}}), ThermalState::critical);
    EXPECT_EQ(thermalState({Z{120, {{"unknown", 20}}}}), ThermalState::nominal);
}

}  // namespace
}  // namespace norvane
