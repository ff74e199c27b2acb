#include <gtest/gtest.h>

#include "platform/SystemControl.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

TEST(SystemControl, TheMachineFolderWinsOverLinux) {
    testing::TempMachine temp;
    const MachineSystemControl controls(temp.machine());
    // Without the folder's value, Linux's model name, when it has one.
    const auto cpuinfo = readFile("/proc/cpuinfo");
    EXPECT_EQ(controls.text("machdep.cpu.brand_string"), cpuinfo ? keyedValue(*cpuinfo, "model name") : std::nullopt);
    EXPECT_EQ(controls.text("kern.nothing"), std::nullopt);

    temp.write("sysctl.txt", "kern.version: Darwin: 27\nmachdep.cpu.brand_string :  Apple M2 Max \r\n"
                             "machdep.cpu.brand_string: later\n");
    EXPECT_EQ(controls.text("machdep.cpu.brand_string"), "Apple M2 Max");
    EXPECT_EQ(controls.text("kern.version"), "Darwin: 27");
    EXPECT_EQ(controls.text("kern"), std::nullopt);
}

TEST(SystemControl, MemoryPressureFromTheStallFigures) {
    const std::vector<std::pair<std::string, std::optional<int>>> cases{
        {"some avg10=9.99 avg60=0 avg300=0 total=1\nfull avg10=9.99 avg60=0 avg300=0 total=1\n", 1},
        {"some avg10=10.00 avg60=0 avg300=0 total=1\nfull avg10=2.00 avg60=0 avg300=0 total=1\n", 2},
        {"some avg10=35.00 avg60=0 avg300=0 total=1\nfull avg10=12.50 avg60=0 avg300=0 total=1\n", 4},
        {"some avg10=nan\n", 1},
        {"full avg10=50.00\nsome avg60=50.00\n", std::nullopt},
    };
    for (const auto& [text, level] : cases) EXPECT_EQ(memoryPressureLevel(text), level) << text;

    testing::TempMachine temp;
    const MachineSystemControl controls(temp.machine());
    temp.write("proc/pressure/memory", "some avg10=20.00 avg60=0 avg300=0 total=1\n");
    EXPECT_EQ(controls.text("kern.memorystatus_vm_pressure_level"), "2");
    temp.write("sysctl.txt", "kern.memorystatus_vm_pressure_level: 4\nhw.model: Mac15,6\n");
    EXPECT_EQ(controls.text("kern.memorystatus_vm_pressure_level"), "4");
    EXPECT_EQ(controls.text("hw.model"), "Mac15,6");
}

}  // namespace
}  // namespace norvane
