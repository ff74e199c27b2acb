#include <gtest/gtest.h>

#include "platform/HostStatistics.h"
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

}  // namespace
}  // namespace norvane
