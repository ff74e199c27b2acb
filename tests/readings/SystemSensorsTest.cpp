#include <gtest/gtest.h>

#include <array>

#include "app/readings/SystemSensors.h"
#include "platform/VirtualQueue.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;
using Figure = std::optional<double>;

class SystemSensorsTest : public ::testing::Test {
protected:
    TempMachine temp;
    VirtualQueue clock;
    MachineKernelServices kernel{temp.machine()};
    MachineSystemControl controls{temp.machine()};
    MachineHostStatistics host{temp.machine()};
    MachineRegistry registry{temp.machine()};

    SystemSensors sensors() const { return SystemSensors(kernel, controls, host, registry, clock); }
    void keys(const std::string& table) const { temp.write("smc/keys.json", R"({"keys": {)" + table + "}}"); }
    // One service per entry, each given as the inside of its dictionary.
    void services(const std::string& className, const std::vector<std::string>& entries) const {
        std::string plist = "<plist><array>";
        for (const auto& entry : entries) plist += "<dict>" + entry + "</dict>";
        temp.write("ioreg/" + className + ".plist", plist + "</array></plist>");
    }
    // A file of the folder; without a text, one that exists but cannot be read.
    void file(const std::string& relative, const std::optional<std::string>& text) const {
        std::filesystem::remove_all(temp.root() / relative);
        if (text)
            temp.write(relative, *text);
        else
            std::filesystem::create_directories(temp.root() / relative);
    }
};

std::string disk(std::uint64_t read, std::uint64_t written) {
    return "<key>Statistics</key><dict><key>Bytes (Read)</key><integer>" + std::to_string(read) +
           "</integer><key>Bytes (Write)</key><integer>" + std::to_string(written) + "</integer></dict>";
}

TEST_F(SystemSensorsTest, RatesAndTheCpuShareComeFromTwoReadings) {
    struct Counts {
        std::uint64_t a, b;
    };
    struct Step {
        const char* what;
        double seconds;
        std::optional<Counts> cpu;  // busy, total
        Counts disk;                // read, written
        std::optional<Counts> net;  // received, sent on en0
        Figure cpuShare, diskRead, diskWritten, networkIn, networkOut;
    };
    const Step steps[] = {
        {"first reading", 0, Counts{100, 1000}, {1000, 2000}, Counts{500, 50}, {}, {}, {}, {}, {}},
        {"two seconds on", 2, Counts{150, 1100}, {3000, 2000}, Counts{1500, 450}, 0.5, 1000.0, 0.0, 500.0, 200.0},
        {"no time passed", 0, Counts{150, 1100}, {3000, 2000}, Counts{1500, 450}, {}, {}, {}, {}, {}},
        {"counts went down", 1, Counts{140, 1200}, {2000, 2500}, Counts{1500, 450}, {}, {}, 500.0, 0.0, 0.0},
        {"reads failed", 1, {}, {2000, 2500}, {}, {}, 0.0, 0.0, {}, {}},
        {"after a failure", 1, Counts{240, 1300}, {2000, 2500}, Counts{1600, 460}, {}, 0.0, 0.0, {}, {}},
        {"and again", 1, Counts{340, 1500}, {2000, 2500}, Counts{1700, 470}, 0.5, 0.0, 0.0, 100.0, 10.0},
    };
    auto s = sensors();
    for (const auto& step : steps) {
        clock.advance(step.seconds);
        file("proc/stat", step.cpu ? std::optional("cpu " + std::to_string(step.cpu->a) + " 0 0 " +
                                                   std::to_string(step.cpu->b - step.cpu->a) + "\n")
                                   : std::nullopt);
        // A service without both counters is passed over.
        services("IOBlockStorageDriver",
                 {disk(step.disk.a, step.disk.b), "<key>Statistics</key><dict><key>Bytes (Read)</key><integer>9"
                                                  "</integer></dict>"});
        file("proc/net/dev", step.net ? std::optional("lo: 7 0 0 0 0 0 0 0 7 0 0 0 0 0 0 0\n"
                                                      "eth0: 9 0 0 0 0 0 0 0 9 0 0 0 0 0 0 0\n"
                                                      "en0: " + std::to_string(step.net->a) + " 0 0 0 0 0 0 0 " +
                                                      std::to_string(step.net->b) + " 0 0 0 0 0 0 0\n"
                                                      "en5: 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0 0\n")
                                      : std::nullopt);
        const auto r = s.read();
        EXPECT_EQ((std::array{r.cpu, r.diskRead, r.diskWritten, r.networkIn, r.networkOut}),
                  (std::array{step.cpuShare, step.diskRead, step.diskWritten, step.networkIn, step.networkOut}))
            << step.what;
    }
    EXPECT_EQ(readNetworkBytes(host), (ByteCounts{1701, 471}));  // en0 and en5 only
}

TEST_F(SystemSensorsTest, TheFirstReadingOfTheTemplatesMacFillsEverythingButRatesAndTheCpuShare) {
    for (const char* name : {"smc/keys.json", "ioreg/IOAccelerator.plist", "sysctl.txt"})
        temp.write(name, *readFile(Machine::templateFolder() / name));
    temp.write("proc/pressure/memory", "some avg10=10.00 avg60=0 avg300=0 total=1\n");
    temp.write("proc/meminfo", "MemTotal: 8192 kB\nAnonPages: 1024 kB\nKernelStack: 512 kB\n");
    const auto r = sensors().read();
    EXPECT_FALSE(r.cpu || r.diskRead || r.diskWritten || r.networkIn || r.networkOut);
    EXPECT_EQ((std::array{r.memoryUsed, r.memoryTotal}), (std::array<Figure, 2>{1536.0 * 1024, 8192.0 * 1024}));
    EXPECT_EQ(r.memoryPressure, 2);
    EXPECT_EQ(r.gpu, 0.12);
    EXPECT_NEAR(r.cpuTemperature.value_or(0), 43.5875, 0.001);  // the mean of its sixteen M3 cores
    EXPECT_NEAR(r.batteryTemperature.value_or(0), 30.3, 0.001);
    EXPECT_EQ((std::array{r.fanRPM, r.fanMax}), (std::array<Figure, 2>{1214.0, 6241.0}));
    EXPECT_TRUE(r.diskFree && r.diskTotal);
}

TEST_F(SystemSensorsTest, ControllerTemperaturesAndFans) {
    temp.write("sysctl.txt", "machdep.cpu.brand_string: Apple M2 Max\n");  // cores Tp1h, Tp1t, Tp1p, Tp01, …
    const auto flt = [](const char* key, double value) {
        return std::string("\"") + key + R"(": {"type": "flt ", "value": )" + std::to_string(value) + "}, ";
    };
    using Four = std::array<Figure, 4>;  // CPU and battery temperature, fan speed and maximum
    const std::vector<std::pair<std::string, Four>> cases{
        {flt("Tp1h", 40) + flt("Tp1t", 55) + flt("Tp1p", 5) + flt("Tp01", 65) + flt("TB0T", 40) + flt("TB2T", 35) +
             flt("F0Ac", 1200) + flt("F1Ac", 0) + flt("F0Mx", 5000) + flt("F1Mx", 6000) +
             R"("FNum": {"type": "ui8 ", "value": 2})",
         Four{60.0, 40.0, 1200.0, 6000.0}},
        {flt("Tp1h", 40) + flt("F0Ac", 1200) + R"("FNum": {"type": "ui8 ", "value": 0})", Four{}},
        // Only 4-byte floats count; the fan count is the first byte whatever its type.
        {flt("F0Mx", 5000) + R"("Tp1h": {"type": "si16", "value": 60}, "Tp1t": {"type": "flt ", "bytes": "0000"},
             "TB1T": {"type": "ui8 ", "value": 30}, "FNum": {"type": "ch8*", "bytes": "01"},
             "F0Ac": {"type": "ui16", "value": 900})",
         Four{std::nullopt, std::nullopt, std::nullopt, 5000.0}},
    };
    for (const auto& [table, figures] : cases) {
        keys(table);
        const auto r = sensors().read();
        EXPECT_EQ((std::array{r.cpuTemperature, r.batteryTemperature, r.fanRPM, r.fanMax}), figures) << table;
    }
    std::filesystem::remove(temp.root() / "smc/keys.json");
    auto withoutSmc = sensors();
    const auto r = withoutSmc.read();
    EXPECT_FALSE(withoutSmc.smc || r.cpuTemperature || r.batteryTemperature || r.fanRPM || r.fanMax);
}

TEST_F(SystemSensorsTest, TheBusiestAcceleratorCappedAtOne) {
    const auto stats = [](const std::string& value) {
        return "<key>PerformanceStatistics</key><dict><key>Device Utilization %</key>" + value + "</dict>";
    };
    const std::vector<std::pair<std::vector<std::string>, Figure>> cases{
        {{stats("<integer>30</integer>"), stats("<integer>130</integer>")}, 1.0},
        {{stats("<real>45.5</real>"), stats("<integer>12</integer>")}, 0.455},
        {{stats("<string>50</string>"), stats("<true/>"), "<key>PerformanceStatistics</key><integer>5</integer>"}, {}},
    };
    for (const auto& [entries, gpu] : cases) {
        services("IOAccelerator", entries);
        EXPECT_EQ(readGPULoad(registry), gpu) << entries.size();
    }
}

TEST(SystemSensors, MemoryUsedNeverWrapsBelowZero) {
    struct Host : HostStatistics {
        VirtualMemory vm;
        std::optional<CpuLoad> cpuLoad() const override { return {}; }
        std::optional<VirtualMemory> virtualMemory() const override { return vm; }
        std::uint64_t physicalMemory() const override { return 0; }
        std::optional<VolumeCapacity> volumeCapacity(const Path&) const override { return {}; }
        std::optional<std::vector<NetworkInterface>> interfaces() const override { return {}; }
    } host;
    // page size, internal, purgeable, wired, compressor → pages in use
    const std::vector<std::pair<VirtualMemory, double>> cases{
        {{16384, 100, 10, 20, 5}, 115},
        {{16384, 10, 100, 20, 5}, 25},  // more purgeable than anonymous pages
        {{16384, 0, 0, 0, 0}, 0},
    };
    for (const auto& [vm, pages] : cases) {
        host.vm = vm;
        EXPECT_EQ(readMemoryUsed(host), pages * 16384) << vm.purgeable;
    }
}

TEST(SystemSensors, BytesText) {
    const std::vector<std::tuple<double, double, std::string>> cases{
        {950, 1000, "950 B"},       {995, 1000, "1.0 KB"},    {994.9, 1000, "994 B"},   {12'340'000, 1000, "12 MB"},
        {9'949, 1000, "9.9 KB"},    {10'500, 1000, "11 KB"},  {1e15, 1000, "1000 TB"},  {1024, 1024, "1.0 KB"},
        {0, 1000, "0 B"},           {-0.5, 1000, "0 B"},      {5e9, 1000, "5.0 GB"},
    };
    for (const auto& [value, unit, text] : cases) EXPECT_EQ(bytesText(value, unit), text) << value;
}

}  // namespace
}  // namespace norvane
