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

}  // namespace
}  // namespace norvane
