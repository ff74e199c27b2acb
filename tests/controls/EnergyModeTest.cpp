#include "app/controls/EnergyMode.h"

#include <gtest/gtest.h>

#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

TEST(ParsePowerMode, TheFirstDecidingLineWins) {
    const std::vector<std::pair<std::string, std::optional<std::int64_t>>> cases = {
        {"   powermode      2\n", 2},
        {" lowpowermode 0\n powermode 0\n", 0},
        {" lowpowermode 1\n powermode 0\n", 1},
        {" powermode 0\n lowpowermode 1\n", 0},
        {" powermode x\n lowpowermode 1\n", std::nullopt},
        {" powermode\t2\n", std::nullopt},
        {" powermode 2 extra\n", 2},
        {" powermode +2\n", 2},
        {" powermode -1\n lowpowermode 1\n", std::nullopt},
        {" powermode 22\n", std::nullopt},
        {" powermode 3\n", std::nullopt},
        {" lowpowermode 01\n", std::nullopt},
        {"powermode\n\n lowpowermode 1", 1},
        {"Powermode 2\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, mode] : cases) EXPECT_EQ(parsePowerMode(text), mode) << text;
}

class PmsetTest : public ::testing::Test {
protected:
    testing::TempMachine temp;
    SystemProcessRunner runner{temp.machine()};

    void battery(bool plugged) {
        temp.write("ioreg/AppleSmartBattery.plist", std::string("<plist><dict><key>ExternalConnected</key><") +
                                                        (plugged ? "true" : "false") + "/></dict></plist>");
    }
};

TEST_F(PmsetTest, ShowsTheSettingsOfThePowerSourceInUse) {
    temp.write("pmset/settings.json", R"({
      "AC Power": {"lowpowermode": 0, "zzz": "x", "Sleep On Power Button": 1, "odd": 1.5, "powermode": 2},
      "Battery Power": {"lowpowermode": 1, "powermode": 0}
    })");
    const std::string ac = pmset(runner, {"-g"});
    EXPECT_EQ(ac,
              "System-wide power settings:\nCurrently in use:\n Sleep On Power Button 1\n powermode            2\n"
              " lowpowermode         0\n zzz                  x\n");
    EXPECT_EQ(parsePowerMode(ac), 2);  // no battery: a desktop on AC
    battery(false);
    EXPECT_EQ(parsePowerMode(pmset(runner, {"-g"})), 0);
    battery(true);
    EXPECT_EQ(parsePowerMode(pmset(runner, {"-g"})), 2);

    // The capabilities are the names of those settings, unless the folder has a dump.
    EXPECT_EQ(pmset(runner, {"-g", "cap"}),
              "Capabilities for AC Power:\n Sleep On Power Button\n powermode\n lowpowermode\n odd\n zzz\n");
    temp.write("pmset/capabilities.txt", "Capabilities for AC Power:\n sleep\n highpowermode\n");
    EXPECT_EQ(pmset(runner, {"-g", "cap"}), "Capabilities for AC Power:\n sleep\n highpowermode\n");
}

TEST_F(PmsetTest, NoAnswerGivesNoMode) {
    // Unknown usage, missing or broken settings, a command that cannot start.
    EXPECT_EQ(pmset(runner, {"-g"}), "");
    temp.write("pmset/settings.json", R"({"Battery Power": {"lowpowermode": 1}})");
    EXPECT_EQ(pmset(runner, {"-g", "custom"}), "");
    EXPECT_EQ(pmset(runner, {"-g", "cap", "x"}), "");
    temp.write("pmset/settings.json", "[]");
    EXPECT_EQ(pmset(runner, {"-g"}), "");
    std::filesystem::remove(temp.root() / "usr/bin/pmset");
    temp.write("usr/bin/pmset", "not a program");
    EXPECT_EQ(pmset(runner, {"-g"}), "");
}

TEST_F(PmsetTest, ChangesOneSettingOfOneSourceAndRefusesWhatItDoesNotKnow) {
    const std::string start = R"({"AC Power":{"lowpowermode":0,"powermode":0},"Battery Power":{"lowpowermode":0,"powermode":0}})";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-b", "lowpowermode", "1"}, R"({"AC Power":{"lowpowermode":0,"powermode":0},"Battery Power":{"lowpowermode":1,"powermode":0}})"},
        {{"-c", "powermode", "2"}, R"({"AC Power":{"lowpowermode":0,"powermode":2},"Battery Power":{"lowpowermode":0,"powermode":0}})"},
        {{"-b", "powermode", "3"}, ""},
        {{"-b", "powermode", "-1"}, ""},
        {{"-c", "lowpowermode", "2"}, ""},
        {{"-c", "powermode", "01"}, ""},
        {{"-b", "lowpowermode"}, ""},
        {{"-b", "lowpowermode", "1", "powermode", "1"}, ""},
        {{"-b", "displaysleep", "1"}, ""},
        {{"-a", "powermode", "1"}, ""},
    };
    for (const auto& [arguments, after] : cases) {
        temp.write("pmset/settings.json", start);
        const auto out = runner.run("/usr/bin/pmset", arguments, ErrorOutput::merge);
        const std::string shown = ::testing::PrintToString(arguments);
        EXPECT_EQ(out.exitCode, after.empty() ? 1 : 0) << shown;
        EXPECT_EQ(out.output.empty(), !after.empty()) << shown << out.output;  // a refusal says why
        EXPECT_EQ(readFile(temp.root() / "pmset/settings.json"), after.empty() ? start : after) << shown;
    }
    temp.write("pmset/settings.json", "[]");
    EXPECT_EQ(runner.run("/usr/bin/pmset", {"-b", "powermode", "1"}).exitCode, 1);
}

}  // namespace
}  // namespace norvane
