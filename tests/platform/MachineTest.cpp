#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Machine.h"
#include "platform/OSVersion.h"
#include "platform/Process.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempFolder;

TEST(Machine, ResolvesOnlySystemPaths) {
    const Machine machine(Path("/m"));
    EXPECT_EQ(machine.resolve("/usr/bin/top"), Path("/m/usr/bin/top"));
    EXPECT_EQ(machine.resolve("/usr/sbin/system_profiler"), Path("/m/usr/sbin/system_profiler"));
    EXPECT_EQ(machine.resolve("/bin/sh"), Path("/m/bin/sh"));
    EXPECT_EQ(machine.resolve("/Applications/Norvane.app/Contents/MacOS/Norvane"),
              Path("/Applications/Norvane.app/Contents/MacOS/Norvane"));
    EXPECT_EQ(machine.resolve("/usr/binary"), Path("/usr/binary"));
}

TEST(SimulatedShell, IsInstalledKeepingOwnCommandsAndRunsTheMachinesProgramsNamedInItsScript) {
    TempFolder dir;
    // A folder name that the shell would take apart if it were spliced in as it is.
    const Machine machine(dir / "a b'c\"$d");
    const Path probe = dir.write("a b'c\"$d/usr/bin/probe", "#!/bin/sh\necho \"folder:$*\"\n");
    std::filesystem::permissions(probe, std::filesystem::perms::owner_all);
    // A machine made before it had a shell of its own gets one; a command of its own is kept.
    std::filesystem::create_directories(machine.file("bin"));
    std::filesystem::create_symlink("/bin/sh", machine.file("bin/sh"));
    const Path own = dir.write("a b'c\"$d/usr/sbin/system_profiler", "#!/bin/sh\necho mine\n");
    machine.installCommands();
    EXPECT_NE(std::filesystem::read_symlink(machine.file("bin/sh")), "/bin/sh");
    EXPECT_EQ(readFile(own), "#!/bin/sh\necho mine\n");

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"/usr/bin/probe one"}, "folder:one\n"},
        {{"\"/usr/bin/probe\" two;/usr/bin/probe  three|cat"}, "folder:two\nfolder:three\n"},
        {{"/bin/echo real"}, "real\n"},  // the folder has none: this machine's own
        {{"echo '/usr/bin/probe' /usr/bin/probes x/usr/bin/probe"}, "/usr/bin/probe /usr/bin/probes x/usr/bin/probe\n"},
        {{"echo \"$0\" \"$1\"", "/usr/bin/probe 0", "/usr/bin/probe"}, "/usr/bin/probe 0 /usr/bin/probe\n"},
    };
    const SystemProcessRunner runner(machine);
    for (const auto& [arguments, output] : cases) {
        std::vector<std::string> all{"-c"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        EXPECT_EQ(runner.run("/bin/sh", all).output, output) << arguments[0];
    }
}

TEST(Machine, DefaultIsCreatedOnceFromTheTemplate) {
    TempFolder dir;
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    ::unsetenv("NORVANE_MACHINE");
    const auto machine = Machine::current();
    ASSERT_TRUE(machine);
    EXPECT_EQ(machine->root(), dir / "norvane-machine");
    EXPECT_TRUE(fileExists(machine->file("ioreg/AppleSmartBattery.plist")));
    // The user's changes to the folder survive the next start.
    dir.write("norvane-machine/ioreg/AppleSmartBattery.plist", "changed");
    ASSERT_TRUE(Machine::current());
    EXPECT_EQ(readFile(machine->file("ioreg/AppleSmartBattery.plist")), "changed");
    const auto profiler = SystemProcessRunner(*machine).run("/usr/sbin/system_profiler", {"SPPowerDataType", "-json"});
    EXPECT_EQ(profiler.exitCode, 0);
    EXPECT_NE(profiler.output.find("sppower_battery_health_info"), std::string::npos);
    ::unsetenv("XDG_DATA_HOME");
}

TEST(Machine, NamedFolderMustExistAndANewOneNeedsATemplate) {
    TempFolder dir;
    ::setenv("NORVANE_MACHINE", (dir / "nowhere").c_str(), 1);
    EXPECT_FALSE(Machine::current());
    ::setenv("NORVANE_MACHINE", dir.path().c_str(), 1);
    const auto machine = Machine::current();
    ASSERT_TRUE(machine);
    EXPECT_EQ(machine->root(), dir.path());
    ::unsetenv("NORVANE_MACHINE");
    // Creation refuses an existing folder or a missing template.
    EXPECT_FALSE(Machine::createFromTemplate(dir.path()));
    EXPECT_FALSE(Machine::createFromTemplate(dir / "new", dir / "no-template"));
    EXPECT_FALSE(fileExists(dir / "new"));
}

TEST(SimulatedProfiler, AnswersOnlyTheJsonForm) {
    testing::TempMachine temp;
    temp.write("system_profiler/SPPowerDataType.json", "{\"SPPowerDataType\":[]}");
    const SystemProcessRunner runner(temp.machine());
    EXPECT_EQ(runner.run("/usr/sbin/system_profiler", {"SPPowerDataType", "-json"}).output, "{\"SPPowerDataType\":[]}");
    EXPECT_EQ(runner.run("/usr/sbin/system_profiler", {"SPPowerDataType"}).exitCode, 1);
    EXPECT_EQ(runner.run("/usr/sbin/system_profiler", {"../x", "-json"}).exitCode, 1);
}

TEST(OSVersion, ParsesUpToThreeDecimalParts) {
    const std::vector<std::pair<std::string, std::optional<OSVersion>>> cases{
        {"27.2.1", OSVersion{27, 2, 1}}, {"26.4", OSVersion{26, 4, 0}},
        {"27", OSVersion{27, 0, 0}},     {"", std::nullopt},
        {"27..1", std::nullopt},         {"27.2.1.4", std::nullopt},
        {"-1.2", std::nullopt},          {"+27.2", std::nullopt},
        {"27.2b", std::nullopt},         {"99999999999.1", std::nullopt},
        {"27.2.", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseOSVersion(text), expected) << text;
}

TEST(OSVersion, ComesFromTheMachinesSystemVersionFile) {
    EXPECT_EQ(operatingSystemVersion(Machine(Machine::templateFolder())), (OSVersion{27, 2, 1}));
    testing::TempMachine temp;
    EXPECT_EQ(operatingSystemVersion(temp.machine()), std::nullopt);
    temp.write("System/Library/CoreServices/SystemVersion.plist",
               "<plist><dict><key>ProductVersion</key><real>27.2</real></dict></plist>");
    EXPECT_EQ(operatingSystemVersion(temp.machine()), std::nullopt);
}

}  // namespace
}  // namespace norvane
