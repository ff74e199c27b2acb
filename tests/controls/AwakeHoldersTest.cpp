#include "app/controls/AwakeHolders.h"

#include <gtest/gtest.h>

#include <map>

#include "app/controls/SleepBlock.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

const std::string slack = "/Applications/Slack.app/Contents/MacOS/Slack";
const std::string slackHelper =
    "/Applications/Slack.app/Contents/Frameworks/Slack Helper.app/Contents/MacOS/Slack Helper";

TEST(AwakeHolders, FilterNameGroupAndOrder) {
    struct Case {
        const char* what;
        std::vector<AssertionRecord> records;
        std::vector<AwakeHolder> expected;
    };
    const std::optional<std::string> none;
    const std::vector<Case> cases = {
        {"a display assertion of an app counts",
         {{10, "Safari", "/Applications/Safari.app/Contents/MacOS/Safari", "PreventUserIdleDisplaySleep", "video "}},
         {{"Safari", none}}},
        {"other types, ourselves and the system's programs do not",
         {{10, "x", "/Applications/X.app/Contents/MacOS/x", "UserIsActive", " "},
          {99, "Norvane", "/Applications/Norvane.app/Contents/MacOS/Norvane", "PreventUserIdleSystemSleep", " "},
          {11, "powerd", "/System/Library/CoreServices/powerd.bundle/powerd", "PreventSystemSleep", " "},
          {12, "coreaudiod", "/usr/sbin/coreaudiod", "PreventUserIdleSystemSleep", " audio-out"},
          {13, "d", "/usr/libexec/d", "NoIdleSleepAssertion", " "},
          {14, "launchd", "/sbin/launchd", "PreventSystemSleep", " "}},
         {}},
        {"helpers of one bundle are that app, with the reason of any of them",
         {{20, "Slack Helper", slackHelper, "PreventUserIdleSystemSleep", "call audio-out"},
          {21, "Slack", slack, "NoIdleSleepAssertion", "x "}},
         {{"Slack", "playing audio"}}},
        {"audio in and out: playing wins; in alone is recording",
         {{30, "zoom.us", "/Applications/zoom.us.app/Contents/MacOS/zoom.us", "PreventUserIdleSystemSleep",
           "mic audio-in"},
          {31, "obs", "/Applications/OBS.app/Contents/MacOS/obs", "PreventUserIdleSystemSleep", "a audio-in"},
          {31, "obs", "/Applications/OBS.app/Contents/MacOS/obs", "PreventUserIdleSystemSleep", "b audio-out"}},
         {{"OBS", "playing audio"}, {"zoom.us", "recording audio"}}},
        {"outside a bundle: the process name, else the path's last component, else nothing",
         {{40, "caffeinate", "", "PreventUserIdleSystemSleep", " "},
          {41, "", "/usr/local/bin/tool", "PreventSystemSleep", " "},
          {42, "", "", "PreventSystemSleep", " "}},
         {{"caffeinate", none}, {"tool", none}}},
        {"ordered by name ignoring case, then exactly",
         {{50, "zoom", "", "PreventSystemSleep", " "},
          {51, "Safari", "", "PreventSystemSleep", " "},
          {52, "abc", "", "PreventSystemSleep", " "},
          {53, "ABC", "", "PreventSystemSleep", " "},
          {54, "Émile", "", "PreventSystemSleep", " "},
          {55, "éclair", "", "PreventSystemSleep", " "}},
         {{"ABC", none}, {"abc", none}, {"Safari", none}, {"zoom", none}, {"éclair", none}, {"Émile", none}}},
    };
    for (const auto& c : cases) EXPECT_EQ(awakeHolders(c.records, 99), c.expected) << c.what;
}

TEST(HoldersLine, NamesUpToThreeAndCountsTheRest) {
    auto holders = [](std::initializer_list<const char*> names) {
        std::vector<AwakeHolder> out;
        for (const char* name : names) out.push_back({name, "playing audio"});
        return out;
    };
    EXPECT_EQ(holdersLine({}), std::nullopt);
    EXPECT_EQ(holdersLine(holders({"A"})), "Kept awake by A");
    EXPECT_EQ(holdersLine(holders({"A", "B"})), "Kept awake by A and B");
    EXPECT_EQ(holdersLine(holders({"A", "B", "C"})), "Kept awake by A, B and C");
    EXPECT_EQ(holdersLine(holders({"A", "B", "C", "D"})), "Kept awake by A, B, C and 1 more");
    EXPECT_EQ(holdersLine(holders({"A", "B", "C", "D", "E"})), "Kept awake by A, B, C and 2 more");
}

TEST(ReadAwakeHolders, ReadsTheMachinesAssertionsByProcess) {
    testing::TempMachine temp;
    temp.write("power/assertions.json", R"({
      "331": [{"AssertType": "PreventUserIdleSystemSleep", "AssertLevel": 255, "Process Name": "coreaudiod",
               "AssertName": "speaker", "AssertionOnBehalfOfPID": 1417, "ResourcesUsed": ["audio-out"]}],
      "332": [{"AssertType": "PreventUserIdleSystemSleep", "AssertLevel": 255, "Process Name": "coreaudiod",
               "AssertionOnBehalfOfPID": 9999}],
      "1403": [{"AssertType": "PreventUserIdleDisplaySleep", "AssertLevel": 255, "Process Name": "firefox"}],
      "3071": [{"AssertType": "PreventUserIdleDisplaySleep", "AssertLevel": 255}],
      "500": [{"AssertLevel": 255, "Process Name": "untyped"},
              {"AssertType": "PreventSystemSleep", "AssertLevel": 0, "Process Name": "released"},
              {"AssertType": "PreventSystemSleep", "AssertLevel": "255", "Process Name": "texty"},
              {"AssertType": "PreventSystemSleep", "Process Name": "levelless"}]
    })");
    const std::map<std::int32_t, std::string> paths = {
        {331, "/usr/sbin/coreaudiod"},
        {332, "/usr/sbin/coreaudiod"},
        {1403, "/Applications/Firefox.app/Contents/MacOS/firefox"},
        {1417, "/Applications/Firefox.app/Contents/MacOS/plugin-container.app/Contents/MacOS/plugin-container"},
        {3071, slackHelper}};
    auto path = [&](std::int32_t pid) {
        const auto found = paths.find(pid);
        return found == paths.end() ? std::string() : found->second;
    };
    const PowerAssertions assertions(temp.machine());
    SleepBlock own;
    own.set(true, assertions);
    const std::vector<AwakeHolder> expected{{"Firefox", "playing audio"}, {"Slack", std::nullopt}};
    EXPECT_EQ(readAwakeHolders(assertions, path), expected);
    own.set(false, assertions);

    for (const char* shape : {R"({"abc": []})", R"({"1": {}})", R"({"1": [1]})", "[]", "not json"}) {
        temp.write("power/assertions.json", shape);
        EXPECT_TRUE(readAwakeHolders(assertions, path).empty()) << shape;
    }
}

TEST(ReadAwakeHolders, TheTemplateMachinesOtherAppsKeepItAwake) {
    testing::TempMachine temp;
    for (const char* file : {"power/assertions.json", "top/processes.json"})
        temp.write(file, readFile(Machine::templateFolder() / file).value_or(""));
    const std::vector<AwakeHolder> expected{{"Firefox", "playing audio"}, {"Slack", std::nullopt}};
    EXPECT_EQ(readAwakeHolders(temp.machine()), expected);
    EXPECT_EQ(holdersLine(expected), "Kept awake by Firefox and Slack");
}

}  // namespace
}  // namespace norvane
