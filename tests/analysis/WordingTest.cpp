#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/analysis/Wording.h"

namespace norvane {
namespace {

using namespace situation;

TEST(SummaryPrompt, KeysAndTextsAndTheirValues) {
    const std::string left = "Facts: on battery. Time left [LEFT], until [UNTIL].";
    const std::string app = " App: Xcode, [SHARE] of the energy.";
    const std::pair<Situation, Prompt> cases[] = {
        {Charging{75}, {"charging", "Point to make: the battery is charging.\nFacts: charging. Full in [LEFT]. Charge [CHARGE]."}},
        {Low{9}, {"low", "Point to make: the battery is running low.\n" + left + " Charge [CHARGE]."}},
        {Faster{"Xcode", 0.5, 90},
         {"faster|Xcode", "Point to make: the battery is draining faster than usual, because one app is busy.\n" + left + app}},
        {situation::HeavyApp{"Xcode", 0.5, 90},
         {"heavy|Xcode", "Point to make: one app is using a large part of the energy.\n" + left + app}},
        {Plenty{300}, {"plenty", "Point to make: there is plenty of time left.\n" + left}},
    };
    for (const auto& [situation, prompt] : cases)
        EXPECT_EQ(summaryPrompt(situation), prompt) << prompt.key;
    for (const Situation& fixed : {Situation{Charging{}}, Situation{Holding{80, 80}}, Situation{PluggedIdle{90}},
                                   Situation{Full{}}, Situation{Estimating{}}})
        EXPECT_FALSE(summaryPrompt(fixed)) << fixed.index();

    using V = PlaceholderValues;
    const auto values = [](const Situation& s) {
        // 10:00 UTC; the clock shows hours and minutes.
        return summaryValues(s, 42, Date{1'779'962'400}, [](Date d) {
            const auto minute = static_cast<long long>(d.seconds) / 60;
            return std::to_string(minute / 60 % 24) + ":" + std::to_string(minute % 60);
        });
    };
    EXPECT_EQ(values(Charging{75}), (V{{"CHARGE", "42%"}, {"LEFT", "1h 15m"}}));
    EXPECT_EQ(values(Holding{80, 80}), (V{{"CHARGE", "42%"}, {"LIMIT", "80%"}}));
    EXPECT_EQ(values(Plenty{200}), (V{{"CHARGE", "42%"}, {"LEFT", "3h 20m"}, {"UNTIL", "13:20"}}));
    EXPECT_EQ(values(Faster{"Xcode", 0.29, 30}),
              (V{{"CHARGE", "42%"}, {"LEFT", "30m"}, {"UNTIL", "10:30"}, {"SHARE", "29%"}}));
    EXPECT_EQ(values(Full{}), (V{{"CHARGE", "42%"}}));
}

const std::string charging = "Point to make: the battery is charging.\nFacts: charging. Full in [LEFT]. Charge [CHARGE].";
const std::string safari =
    "Facts: on battery. Time left [LEFT], until [UNTIL]. App: Safari, [SHARE] of the energy. [CHARGE]";

TEST(Clean, TrimsFullStopsAndLowersCapitalsThePromptDoesNotHave) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"Charging, full in [LEFT].", charging, "Charging, full in [LEFT]"},
        {" \n\tCharging... \xC2\xA0", charging, "Charging"},
        {"Charging  Slowly   Now", charging, "Charging slowly now"},
        {"\xC3\x89lan Full \xC3\x89LAN", charging, "\xC3\x89lan Full \xC3\xA9lan"},
        {"Right Now Safari Is Taking [SHARE]", safari, "Right now Safari is taking [SHARE]"},
        {"Ask Safari: Now", safari, "Ask Safari: now"},
        {"Time Left:[LEFT]", safari, "Time left:[LEFT]"},  // the placeholder stays one
    };
    for (const auto& [text, prompt, expected] : cases)
        EXPECT_EQ(clean(text, 90, prompt, {}), expected) << text;
}

TEST(Clean, RejectsWhatBreaksARule) {
    const std::vector<std::string> apps = {"Safari", "Google Chrome", " "};
    // 50 characters with 4 distinct placeholders: 62.
    const std::string four = "At [LEFT] [LEFT] [UNTIL] [CHARGE] [SHARE] abcdefgh";
    const std::pair<std::string, std::size_t> rejected[] = {
        {"Full in [LEFT]!", 90}, {"Charging\nfull", 90}, {" ...", 90}, {"Full in 2h", 90},
        {"Full in \xD9\xA3h", 90},  // a digit of another script
        {"Half \xC2\xBD", 90}, {"Until [TIME]", 90}, {"Full in [left]", 90}, {"Full in [LEFT", 90},
        {"Even SAFARI's tabs", 90}, {"Chrome and google", 90}, {four, 61}, {"Cafe\xCC\x81", 3},
    };
    for (const auto& [text, limit] : rejected)
        EXPECT_FALSE(clean(text, limit, safari, apps)) << text;
    const std::pair<std::string, std::size_t> kept[] = {
        {"Google is busy", 90}, {"Chromebook is busy", 90}, {four, 62}, {"Cafe\xCC\x81", 4}};
    for (const auto& [text, limit] : kept)
        EXPECT_TRUE(clean(text, limit, safari, apps)) << text;
}

TEST(CheckedWording, LimitsOfSixtyAndNinetyAndTwoDifferentLines) {
    EXPECT_EQ(checkedWording("Charging, full in [LEFT].", "Now at [CHARGE] and climbing", charging, {}),
              (Wording{"Charging, full in [LEFT]", "Now at [CHARGE] and climbing"}));
    EXPECT_FALSE(checkedWording("Charging", "CHARGING.", charging, {}));
    EXPECT_FALSE(checkedWording("Charging!", "Now at [CHARGE]", charging, {}));
    EXPECT_FALSE(checkedWording("Charging", "Now at 5", charging, {}));
    const std::string a60(60, 'a'), b90(90, 'b');
    EXPECT_TRUE(checkedWording(a60, b90, charging, {}));
    EXPECT_FALSE(checkedWording(a60 + "a", b90, charging, {}));
    EXPECT_FALSE(checkedWording(a60, b90 + "b", charging, {}));
}

TEST(Fill, ReplacesEveryPlaceholderOrGivesNothing) {
    const PlaceholderValues values{{"LEFT", "1h 05m"}, {"UNTIL", "13:20"}, {"A", "[UNTIL]"}};
    EXPECT_EQ(fill({"Good until [UNTIL]", "[LEFT], [LEFT] [words] [A]"}, values),
              (Headline{"Good until 13:20", "1h 05m, 1h 05m [words] [UNTIL]"}));
    EXPECT_FALSE(fill({"Busy", "Taking [SHARE]"}, values));
    EXPECT_FALSE(fill({"Taking [SHARE]", "Busy"}, values));
}

}  // namespace
}  // namespace norvane
