#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "app/analysis/Situation.h"

namespace norvane {
namespace {

using namespace situation;

const std::string approx = "\xE2\x89\x88";  // U+2248
// 10:00 UTC on a whole day.
const Date tenOClock{1'780'000'000.0 - std::fmod(1'780'000'000.0, 86'400) + 36'000};

// A stand-in for the model's time-of-day formatter: "HH:MM" in UTC.
std::string hoursAndMinutes(Date date) {
    const auto second = static_cast<long long>(date.seconds);
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld", second / 3'600 % 24, second / 60 % 60);
    return text;
}

Headline headline(const Situation& s, Date now = tenOClock) {
    return templateHeadline(s, now, hoursAndMinutes);
}

TEST(TemplateHeadline, Charging) {
    EXPECT_EQ(headline(Charging{75}), (Headline{"Charging", "Full in 1h 15m"}));
    EXPECT_EQ(headline(Charging{45}), (Headline{"Charging", "Full in 45m"}));
    EXPECT_EQ(headline(Charging{0}), (Headline{"Charging", "Full in 0m"}));
    EXPECT_EQ(headline(Charging{}), (Headline{"Charging", "Working out the time to full"}));
}

TEST(TemplateHeadline, HoldingAndPluggedIdle) {
    EXPECT_EQ(headline(Holding{80, 80}), (Headline{"Holding at 80%", "Charge limit is set to 80%"}));
    EXPECT_EQ(headline(Holding{79, 80}), (Headline{"Holding at 79%", "Charge limit is set to 80%"}));
    EXPECT_EQ(headline(PluggedIdle{93}), (Headline{"Plugged in, not charging", "macOS is holding the charge at 93%"}));
}

TEST(TemplateHeadline, Low) {
    EXPECT_EQ(headline(Low{9}), (Headline{"Running low", approx + "9m left. Plug in soon"}));
    EXPECT_EQ(headline(Low{9}).detail,
              "\xE2\x89\x88"
              "9m left. Plug in soon");
    EXPECT_EQ(headline(Low{65}).detail, approx + "1h 05m left. Plug in soon");
}

TEST(TemplateHeadline, FasterGivesTheTruncatedPercentAndNoMinutes) {
    const auto h = headline(Faster{"Safari", 0.374, 200});
    EXPECT_EQ(h, (Headline{"Draining faster than usual", "Safari is using 37% of the energy"}));
    // Exact decimal shares show what they are, whatever binary rounding does to them.
    for (const auto& [share, shown] : std::vector<std::pair<double, std::string>>{
             {0.29, "29%"}, {0.57, "57%"}, {0.58, "58%"}, {0.999, "99%"}, {0.3749999, "37%"}}) {
        EXPECT_EQ(headline(Faster{"Safari", share, 200}).detail, "Safari is using " + shown + " of the energy")
            << share;
    }
    EXPECT_EQ(h.detail.find("3h"), std::string::npos);
    EXPECT_EQ(headline(Faster{"Xcode", 0.999, 10}).detail, "Xcode is using 99% of the energy");
    EXPECT_EQ(headline(Faster{"Xcode", 1.0, 10}).detail, "Xcode is using 100% of the energy");
    EXPECT_EQ(headline(Faster{"Xcode", 0.0, 10}).detail, "Xcode is using 0% of the energy");
    EXPECT_EQ(headline(Faster{"Xcode", 0.009, 10}).detail, "Xcode is using 0% of the energy");
    EXPECT_EQ(headline(Faster{"Xcode", -0.019, 10}).detail, "Xcode is using -1% of the energy");  // toward zero
}

TEST(TemplateHeadline, FasterWithANonFiniteShareConvertsNothing) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(headline(Faster{"A", nan, 1}).detail, "A is using 0% of the energy");
    EXPECT_EQ(headline(Faster{"A", inf, 1}).detail, "A is using 0% of the energy");
    EXPECT_EQ(headline(Faster{"A", 1e300, 1}).detail, "A is using 0% of the energy");
}

TEST(TemplateHeadline, HeavyAppSaysHowMuchInWordsAndUntilWhen) {
    const auto h = headline(situation::HeavyApp{"Google Chrome", 0.6, 200});
    EXPECT_EQ(h, (Headline{"Google Chrome is using most of your energy", approx + "3h 20m left, until 13:20"}));
    EXPECT_EQ(headline(situation::HeavyApp{"A", 0.95, 1}).title, "A is using most of your energy");
    EXPECT_EQ(headline(situation::HeavyApp{"A", 0.5999, 1}).title, "A is using about half of your energy");
    EXPECT_EQ(headline(situation::HeavyApp{"A", 0.45, 1}).title, "A is using about half of your energy");
    EXPECT_EQ(headline(situation::HeavyApp{"A", 0.4499, 1}).title, "A is using a third of your energy");
    EXPECT_EQ(headline(situation::HeavyApp{"A", 0.3, 1}).title, "A is using a third of your energy");
    EXPECT_EQ(headline(situation::HeavyApp{"A", std::nan(""), 1}).title, "A is using a third of your energy");
}

TEST(TemplateHeadline, PlentyGivesTheClockTimeOfNowPlusTheMinutes) {
    EXPECT_EQ(headline(Plenty{200}), (Headline{"Enough until 13:20", approx + "3h 20m left at the current rate"}));
    // The formatter gets exactly now + minutes × 60 s.
    std::vector<Date> asked;
    const auto h = templateHeadline(Plenty{200}, Date{1'000.5}, [&](Date d) {
        asked.push_back(d);
        return std::string("later");
    });
    EXPECT_EQ(h.title, "Enough until later");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], Date{1'000.5 + 12'000});
    // Past midnight the formatter decides how it looks.
    EXPECT_EQ(headline(Plenty{15 * 60}).title, "Enough until 01:00");
}

TEST(TemplateHeadline, CasesWithoutATimeDoNotAskTheFormatter) {
    int calls = 0;
    const auto counting = [&](Date) {
        ++calls;
        return std::string();
    };
    for (const Situation& s : std::vector<Situation>{Charging{75}, Charging{}, Holding{80, 80}, PluggedIdle{50}, Low{9},
                                                     Faster{"A", 0.5, 9}, Full{}, Estimating{}}) {
        templateHeadline(s, tenOClock, counting);
    }
    EXPECT_EQ(calls, 0);
}

TEST(TemplateHeadline, FullAndEstimating) {
    EXPECT_EQ(headline(Full{}), (Headline{"Fully charged", "Running on wall power"}));
    EXPECT_EQ(headline(Estimating{}), (Headline{"On battery", "Working out how long it will last"}));
}

}  // namespace
}  // namespace norvane
