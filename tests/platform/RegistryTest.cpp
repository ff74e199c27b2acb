#include <gtest/gtest.h>

#include "platform/KernelService.h"
#include "platform/PropertyList.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

const char* const twoEntries = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<array>
  <dict>
    <key>IOObjectClass</key><string>AppleSmartBattery</string>
    <key>IORegistryEntryName</key><string>AppleSmartBattery</string>
    <key>IORegistryEntryID</key><integer>4294968583</integer>
    <key>IORegistryEntryChildren</key><array/>
    <key>CurrentCapacity</key><integer>72</integer>
  </dict>
  <dict>
    <key>CurrentCapacity</key><integer>15</integer>
  </dict>
</array>
</plist>)";

TEST(MachineRegistry, ServicesComeFromTheClassFileAsItIsNowWithoutWhatIoregAddsAboutTheEntry) {
    testing::TempFolder dir;
    dir.write("ioreg/AppleSmartBattery.plist", twoEntries);
    const MachineRegistry registry{Machine(dir.path())};
    const auto all = registry.services("AppleSmartBattery");
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(registry.firstService("AppleSmartBattery"), all[0]);
    EXPECT_EQ(*registry.properties(all[0]), (Value::Dictionary{{"CurrentCapacity", Value::integer(72)}}));
    EXPECT_EQ(registry.property(all[1], "CurrentCapacity"), Value::integer(15));
    EXPECT_FALSE(registry.property(all[1], "Missing"));

    dir.write("ioreg/AppleSmartBattery.plist",
              "<plist><array><dict><key>CurrentCapacity</key><integer>71</integer></dict></array></plist>");
    EXPECT_EQ(registry.property(all[0], "CurrentCapacity"), Value::integer(71));
    // A single entry need not be in an array.
    dir.write("ioreg/AppleSMC.plist", "<plist><dict><key>a</key><true/></dict></plist>");
    EXPECT_EQ(registry.services("AppleSMC").size(), 1u);
}

TEST(MachineRegistry, StrangeNamesAndEntriesHaveNoServices) {
    testing::TempFolder dir;
    dir.write("ioreg/NotDict.plist", "<plist><array><integer>1</integer></array></plist>");
    dir.write("secret.plist", "<plist><array><dict/></array></plist>");
    const MachineRegistry registry{Machine(dir.path())};
    // A name that leads out of the registry's folder, or none, is no class.
    for (const char* name : {"../secret", ""})
        EXPECT_FALSE(registry.firstService(name)) << name;
    // A service whose entry is not a dictionary exists but its properties cannot be read.
    const auto odd = registry.firstService("NotDict");
    ASSERT_TRUE(odd);
    EXPECT_FALSE(registry.properties(*odd));
    EXPECT_FALSE(registry.properties({"NotDict", 5}));
}

// The application's registry names a file it cannot read, and why, once per state of it.
TEST(MachineRegistry, AnUnreadableFileIsLoggedOncePerStateOfIt) {
    testing::TempMachine temp;
    const Path battery = temp.write("ioreg/AppleSmartBattery.plist", "<plist><array><dict><key>Amperage</key>");
    const Path scalar = temp.write("ioreg/Scalar.plist", "<plist><integer>1</integer></plist>");
    const Path odd = temp.write("ioreg/Odd.plist", "<plist><array><dict><integer>1</integer></dict></array></plist>");
    const Path folder = temp.root() / "ioreg/Folder.plist";
    std::filesystem::create_directories(folder);
    const auto told = [&] {
        std::vector<std::string> out;
        const std::string log = readFile(temp.root() / "log/system.log").value_or("");
        for (const auto line : splitNonEmpty(log, '\n'))
            out.emplace_back(line.substr(line.find("] ") + 2));
        return out;
    };
    const auto readAll = [](const MachineRegistry& registry) {
        for (const char* name : {"AppleSmartBattery", "Scalar", "Odd", "Folder", "Missing"})
            EXPECT_FALSE(registry.firstService(name)) << name;
    };
    readAll(MachineRegistry(temp.machine()));  // a command's registry says nothing
    EXPECT_TRUE(told().empty());
    const MachineRegistry registry(temp.machine(), true);
    readAll(registry);
    readAll(registry);
    const std::string cannot = "Norvane: cannot read ";
    std::vector<std::string> expected = {
        cannot + battery.string() + ": not a property list: Start-end tags mismatch at byte 38",
        cannot + scalar.string() + ": it holds neither entries nor an entry",
        cannot + odd.string() + ": not a property list: <dict> at byte 15 is not a property-list value",
        cannot + folder.string() + ": it is a folder",
    };
    EXPECT_EQ(told(), expected);
    EXPECT_EQ(registry.problem("Folder"), "cannot read " + folder.string() + ": it is a folder");
    EXPECT_EQ(registry.problem("Missing"), std::nullopt);
    // Another broken state is told again; a mended file says nothing.
    temp.write("ioreg/AppleSmartBattery.plist", "<array/>");
    readAll(registry);
    expected.push_back(cannot + battery.string() + ": not a property list: no <plist> element");
    temp.write("ioreg/AppleSmartBattery.plist", "<plist><array/></plist>");
    readAll(registry);
    EXPECT_EQ(told(), expected);
}

TEST(MachineRegistry, BlockStorageDriversAreTheWholeDisksOfDiskstats) {
    // Sectors read are the device's number, sectors written ten times it.
    std::string diskstats;
    const char* devices[] = {"sda",       "sda1",  "sda12", "sdaa",  "nvme0n1", "nvme0n1p1", "nvme0n10", "mmcblk0",
                             "mmcblk0p2", "loop0", "ram0",  "zram0", "dm-0",    "md127",     "vda"};
    for (int i = 0; i < static_cast<int>(std::size(devices)); ++i)
        diskstats += "8 " + std::to_string(i) + " " + devices[i] + " 1 0 " + std::to_string(i + 1) + " 0 1 0 " +
                     std::to_string(10 * (i + 1)) + " 0 0 0 0\n";
    diskstats += "8 99 short 1 2 3\n8 99 bad 1 0 x 0 1 0 1 0 0 0 0\n";
    const auto drivers = blockStorageDrivers(diskstats);
    std::vector<std::string> whole;
    for (const auto& driver : drivers) {
        const auto read = driver.find("Statistics")->find("Bytes (Read)")->longLongValue();
        EXPECT_EQ(driver.find("Statistics")->find("Bytes (Write)")->longLongValue(), *read * 10);
        whole.push_back(devices[*read / 512 - 1]);
    }
    EXPECT_EQ(whole, (std::vector<std::string>{"sda", "sdaa", "nvme0n1", "nvme0n10", "mmcblk0", "vda"}));
}

TEST(MachineRegistry, BlockStorageComesFromTheFolderWhenItHasAFile) {
    testing::TempFolder dir;
    const MachineRegistry registry{Machine(dir.path())};
    dir.write("proc/diskstats", "254 0 vda 1 0 2 0 1 0 3 0 0 0 0\n254 1 vda1 1 0 2 0 1 0 3 0 0 0 0\n");
    ASSERT_EQ(registry.services("IOBlockStorageDriver").size(), 1u);

    dir.write("ioreg/IOBlockStorageDriver.plist", "<plist><array><dict/><dict/></array></plist>");
    EXPECT_EQ(registry.services("IOBlockStorageDriver").size(), 2u);
    // A file that is there but cannot be read is no disk at all, not this machine's disks.
    std::filesystem::remove(dir / "ioreg/IOBlockStorageDriver.plist");
    std::filesystem::create_directories(dir / "ioreg/IOBlockStorageDriver.plist");
    EXPECT_TRUE(registry.services("IOBlockStorageDriver").empty());
}

const char* const rootDomain = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
  <key>AppleClamshellState</key><false/>
  <key>AppleClamshellCausesSleep</key><true/>
</dict>
</plist>)";

TEST(RootDomainClient, SwitchesClamshellSleep) {
    testing::TempFolder dir;
    const MachineKernelServices kernel{Machine(dir.path())};
    const MachineRegistry registry{Machine(dir.path())};
    const RegistryService root{"IOPMrootDomain", 0};
    EXPECT_FALSE(kernel.open("IOPMrootDomain", 0));  // no root domain on this machine

    dir.write("ioreg/IOPMrootDomain.plist", rootDomain);
    EXPECT_FALSE(kernel.open("IOPMrootDomain", 1));
    const auto client = kernel.open("IOPMrootDomain", 0);
    ASSERT_TRUE(client);
    const std::uint64_t on = 1, off = 0;
    EXPECT_EQ(client->callScalarMethod(12, {&on, 1}), kernelSuccess);
    EXPECT_EQ(registry.property(root, "AppleClamshellCausesSleep"), Value::boolean(false));
    EXPECT_EQ(client->callScalarMethod(12, {&off, 1}), kernelSuccess);
    EXPECT_EQ(registry.property(root, "AppleClamshellCausesSleep"), Value::boolean(true));
    EXPECT_NE(client->callScalarMethod(13, {&off, 1}), kernelSuccess);
    EXPECT_NE(client->callScalarMethod(12, {}), kernelSuccess);

    // A driver that cannot change its state (here: its file cannot be locked) fails the call.
    std::filesystem::remove(dir / "ioreg/IOPMrootDomain.plist.lock");
    std::filesystem::create_directories(dir / "ioreg/IOPMrootDomain.plist.lock");
    EXPECT_EQ(client->callScalarMethod(12, {&on, 1}), kernelError);
}

}  // namespace
}  // namespace norvane
