#include "app/controls/EnergyMode.h"

#include <gtest/gtest.h>

#include "platform/PowerSettings.h"
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
        {" lowpowermode 0\n", 0},  // a Mac without High Power, Low Power off
        {" lowpowermode 0\n powermode 2\n", 2},
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

TEST_F(PmsetTest, ShowsTheSettingsOfThePowerSourceInUseWithTheEnergySettingTheMacOffers) {
    temp.write("pmset/settings.json", R"({
      "AC Power": {"lowpowermode": 0, "zzz": "x", "Sleep On Power Button": 1, "odd": 1.5, "powermode": 2},
      "Battery Power": {"lowpowermode": 1, "powermode": 0}
    })");
    struct Case {
        std::optional<bool> plugged;  // none: no battery, a desktop on AC
        bool highPower;
        std::string shown;
        std::int64_t mode;
    };
    const Case cases[] = {
        {std::nullopt, false, " Sleep On Power Button 1\n lowpowermode         0\n zzz                  x\n", 0},
        {false, false, " lowpowermode         1\n", 1},
        {true, true, " Sleep On Power Button 1\n powermode            2\n zzz                  x\n", 2},
        {false, true, " powermode            0\n", 0},
    };
    for (const auto& c : cases) {
        if (c.plugged) battery(*c.plugged);
        temp.write("pmset/capabilities.txt", c.highPower ? "Capabilities for AC Power:\n highpowermode\n" : "");
        const std::string shown = pmset(runner, {"-g"});
        EXPECT_EQ(shown, "System-wide power settings:\nCurrently in use:\n" + c.shown);
        EXPECT_EQ(parsePowerMode(shown), c.mode) << c.shown;
    }

    // The capabilities are the names of those settings, unless the folder has a dump.
    std::filesystem::remove(temp.root() / "ioreg/AppleSmartBattery.plist");
    EXPECT_EQ(pmset(runner, {"-g", "cap"}), "Capabilities for AC Power:\n highpowermode\n");
    std::filesystem::remove(temp.root() / "pmset/capabilities.txt");
    EXPECT_EQ(pmset(runner, {"-g", "cap"}),
              "Capabilities for AC Power:\n Sleep On Power Button\n lowpowermode\n odd\n zzz\n");
}

TEST_F(PmsetTest, ADumpOfAMacStandsForTheSourceInUseAndKeepsItsForm) {
    const std::string dump =
        "System-wide power settings:\n SleepDisabled\t\t0\nCurrently in use:\n standby              1\n"
        " Sleep On Power Button 1\n sleep                1 (sleep prevented by coreaudiod)\n"
        " lowpowermode         0\n womp                 0\n";
    const std::string json = R"({"AC Power":{"lowpowermode":1,"powermode":1},"Battery Power":{"lowpowermode":0}})";
    temp.write("pmset/settings.json", json);
    temp.write("pmset/settings.txt", dump);
    battery(false);
    EXPECT_EQ(pmset(runner, {"-g"}), dump);
    EXPECT_EQ(pmset(runner, {"-g", "cap"}),
              "Capabilities for Battery Power:\n standby\n Sleep On Power Button\n sleep\n lowpowermode\n womp\n");
    const auto text = [&](std::string_view file) { return readFile(temp.root() / "pmset" / file).value_or(""); };

    // A change of the source in use goes into the dump, of the other into the JSON.
    EXPECT_EQ(runner.run("/usr/bin/pmset", {"-b", "powermode", "1"}).exitCode, 0);
    std::string changed = dump;
    changed.replace(changed.find("lowpowermode         0"), 22, "lowpowermode         1");
    EXPECT_EQ(text("settings.txt"), changed);
    EXPECT_EQ(parsePowerMode(pmset(runner, {"-g"})), 1);
    EXPECT_EQ(runner.run("/usr/bin/pmset", {"-c", "lowpowermode", "0"}).exitCode, 0);
    EXPECT_EQ(text("settings.txt"), changed);
    EXPECT_EQ(text("settings.json"),
              R"({"AC Power":{"lowpowermode":0,"powermode":0},"Battery Power":{"lowpowermode":0}})");

    // On the adapter the dump is the charger's settings; a dump without the setting gets the
    // line the Mac shows, inside its settings part, once.
    battery(true);
    EXPECT_EQ(pmset(runner, {"-g"}), changed);
    const std::pair<std::string, std::string> added[] = {
        {"Currently in use:\n sleep                1\n",
         "Currently in use:\n sleep                1\n lowpowermode         1\n"},
        {"Currently in use:\n sleep                1\n\nNext:\n 1\n",
         "Currently in use:\n sleep                1\n lowpowermode         1\n\nNext:\n 1\n"},
        {"Currently in use:", "Currently in use:\n lowpowermode         1\n"},
        {"Currently in use:\n powermode\t2\n", "Currently in use:\n powermode\t2\n lowpowermode         1\n"},
        {" sleep 1", " sleep 1\n lowpowermode         1\n"},
        // With CRLF line ends a line keeps its CR, and an added one has one.
        {"Currently in use:\r\n powermode            2\r\n", "Currently in use:\r\n powermode            1\r\n"},
        {"Currently in use:\r\n sleep                1\r\n",
         "Currently in use:\r\n sleep                1\r\n lowpowermode         1\r\n"},
    };
    for (const auto& [before, after] : added) {
        temp.write("pmset/settings.txt", before);
        EXPECT_EQ(runner.run("/usr/bin/pmset", {"-c", "lowpowermode", "1"}).exitCode, 0);
        EXPECT_EQ(runner.run("/usr/bin/pmset", {"-c", "powermode", "1"}).exitCode, 0);
        EXPECT_EQ(text("settings.txt"), after) << before;
        EXPECT_EQ(parsePowerMode(pmset(runner, {"-g"})), 1) << before;
    }

    // The list of a CRLF dump and its mode read its lines alike.
    temp.write("pmset/settings.txt", "Currently in use:\r\n sleep                1\r\n powermode            2\r\n");
    const auto crlf = readPowerSettings(temp.machine(), "AC Power");
    ASSERT_TRUE(crlf);
    EXPECT_EQ(crlf->settings, (std::vector<std::pair<std::string, Value>>{{"sleep", Value::integer(1)},
                                                                          {"powermode", Value::integer(2)}}));
    EXPECT_EQ(crlf->energyMode, 2);
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

TEST_F(PmsetTest, ChangesTheEnergyModeOfOneSourceInStepAndRefusesWhatItDoesNotKnow) {
    const std::string start = R"({"AC Power":{"lowpowermode":0,"powermode":2},"Battery Power":{"lowpowermode":0,"powermode":0}})";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-b", "lowpowermode", "1"}, R"({"AC Power":{"lowpowermode":0,"powermode":2},"Battery Power":{"lowpowermode":1,"powermode":1}})"},
        {{"-b", "powermode", "1"}, R"({"AC Power":{"lowpowermode":0,"powermode":2},"Battery Power":{"lowpowermode":1,"powermode":1}})"},
        {{"-c", "powermode", "0"}, R"({"AC Power":{"lowpowermode":0,"powermode":0},"Battery Power":{"lowpowermode":0,"powermode":0}})"},
        // Low Power off keeps High Power.
        {{"-c", "lowpowermode", "0"}, start},
        {{"-b", "powermode", "3"}, ""},
        {{"-b", "powermode", "-1"}, ""},
        {{"-c", "lowpowermode", "2"}, ""},
        {{"-c", "powermode", "01"}, ""},
        {{"-b", "lowpowermode"}, ""},
        {{"-b", "lowpowermode", "1", "powermode", "1"}, ""},
        {{"-b", "displaysleep", "1"}, ""},
        {{"-a", "powermode", "1"}, ""},
    };
    temp.write("pmset/capabilities.txt", " highpowermode\n");
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
