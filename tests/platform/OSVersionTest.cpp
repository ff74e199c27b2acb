#include <gtest/gtest.h>

#include "platform/OSVersion.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

TEST(OSVersion, ParsesUpToThreeDecimalParts) {
    const std::vector<std::pair<std::string, std::optional<OSVersion>>> cases{
        {"27.2.1", OSVersion{27, 2, 1}}, {"26.4", OSVersion{26, 4, 0}}, {"27", OSVersion{27, 0, 0}},
        {"", std::nullopt},             {"27..1", std::nullopt},       {"27.2.1.4", std::nullopt},
        {"-1.2", std::nullopt},         {"+27.2", std::nullopt},       {"27.2b", std::nullopt},
        {"99999999999.1", std::nullopt}, {"27.2.", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseOSVersion(text), expected) << text;
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
