#include <gtest/gtest.h>

#include "platform/SystemControl.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

TEST(SystemControl, KeyedValuesAsSysctlAndCpuinfoWriteThem) {
    const std::string lines = "hw.ncpu: 12\nmodel name\t: Intel(R) Xeon(R)  \r\nkern.version: Darwin: 27\nhw.ncpu: 8\n";
    EXPECT_EQ(keyedValue(lines, "hw.ncpu"), "12");
    EXPECT_EQ(keyedValue(lines, "model name"), "Intel(R) Xeon(R)");
    EXPECT_EQ(keyedValue(lines, "kern.version"), "Darwin: 27");
    EXPECT_EQ(keyedValue(lines, "hw"), std::nullopt);
    EXPECT_EQ(keyedValue("", "hw.ncpu"), std::nullopt);
}

TEST(SystemControl, TheMachineFolderWinsOverLinux) {
    testing::TempMachine temp;
    const MachineSystemControl controls(temp.machine());
    // Without the folder's value, Linux's model name, when it has one.
    const auto cpuinfo = readFile("/proc/cpuinfo");
    EXPECT_EQ(controls.text("machdep.cpu.brand_string"), cpuinfo ? keyedValue(*cpuinfo, "model name") : std::nullopt);
    EXPECT_EQ(controls.text("kern.nothing"), std::nullopt);

    temp.write("sysctl.txt", "machdep.cpu.brand_string: Apple M2 Max\n");
    EXPECT_EQ(controls.text("machdep.cpu.brand_string"), "Apple M2 Max");
}

}  // namespace
}  // namespace norvane
