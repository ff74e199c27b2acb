#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "app/analysis/Duration.h"
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

TEST(TemplateHeadline, TheWordsOfEverySituation) {
    const std::pair<Situation, Headline> cases[] = {
        {Charging{75}, {"Charging", "Full in 1h 15m"}},
        {Charging{45}, {"Charging", "Full in 45m"}},
        {Charging{0}, {"Charging", "Full in 0m"}},
        {Charging{}, {"Charging", "Working out the time to full"}},
        {Holding{80, 80}, {"Holding at 80%", "Charge limit is set to 80%"}},
        {Holding{79, 80}, {"Holding at 79%", "Charge limit is set to 80%"}},
        {PluggedIdle{93}, {"Plugged in, not charging", "macOS is holding the charge at 93%"}},
        {Low{9}, {"Running low", approx + "9m left. Plug in soon"}},
        {Low{65}, {"Running low", approx + "1h 05m left. Plug in soon"}},
        // The share truncated, and no minutes.
        {Faster{"Safari", 0.374, 200}, {"Draining faster than usual", "Safari is using 37% of the energy"}},
        {situation::HeavyApp{"Google Chrome", 0.6, 200},
         {"Google Chrome is using most of your energy", approx + "3h 20m left, until 13:20"}},
        {Plenty{200}, {"Enough until 13:20", approx + "3h 20m left at the current rate"}},
        // Past midnight the formatter decides how it looks.
        {Plenty{15 * 60}, {"Enough until 01:00", approx + "15h 00m left at the current rate"}},
        {Full{}, {"Fully charged", "Running on wall power"}},
        {Estimating{}, {"On battery", "Working out how long it will last"}},
    };
    for (const auto& [situation, words] : cases)
        EXPECT_EQ(headline(situation), words) << words.title;
}

TEST(TemplateHeadline, SharesAsWrittenOrInWordsAndNothingNonFiniteConverted) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    // Exact decimal shares show what they are, whatever binary rounding does to them; the
    // rest truncate toward zero.
    const std::pair<double, std::string> cases[] = {
        {0.29, "29%"}, {0.57, "57%"}, {0.58, "58%"},   {0.999, "99%"}, {0.3749999, "37%"}, {1.0, "100%"},
        {0.0, "0%"},   {0.009, "0%"}, {-0.019, "-1%"}, {nan, "0%"},    {inf, "0%"},        {1e300, "0%"},
    };
    for (const auto& [share, shown] : cases)
        EXPECT_EQ(headline(Faster{"Xcode", share, 10}).detail, "Xcode is using " + shown + " of the energy") << share;
    // A heavy app says how much in words.
    const std::pair<double, std::string> words[] = {
        {0.95, "most"},      {0.5999, "about half"}, {0.45, "about half"},
        {0.4499, "a third"}, {0.3, "a third"},       {std::nan(""), "a third"},
    };
    for (const auto& [share, much] : words)
        EXPECT_EQ(headline(situation::HeavyApp{"A", share, 1}).title, "A is using " + much + " of your energy")
            << share;
}

TEST(TemplateHeadline, OnlyTheCasesWithATimeAskTheFormatterForNowPlusTheMinutes) {
    std::vector<Date> asked;
    const auto recording = [&](Date d) {
        asked.push_back(d);
        return std::string("later");
    };
    EXPECT_EQ(templateHeadline(Plenty{200}, Date{1'000.5}, recording).title, "Enough until later");
    EXPECT_EQ(asked, std::vector<Date>{Date{1'000.5 + 12'000}});
    asked.clear();
    for (const Situation& s : std::vector<Situation>{Charging{75}, Charging{}, Holding{80, 80}, PluggedIdle{50}, Low{9},
                                                     Faster{"A", 0.5, 9}, Full{}, Estimating{}})
        templateHeadline(s, tenOClock, recording);
    EXPECT_TRUE(asked.empty());
}

using Cases = std::vector<std::pair<std::int64_t, std::string>>;

TEST(Duration, MinutesBelowAnHourThenHoursAndPaddedMinutes) {
    // Any negative count keeps the minute form.
    for (const auto& [minutes, text] : Cases{{0, "0m"},
                                             {45, "45m"},
                                             {59, "59m"},
                                             {60, "1h 00m"},
                                             {65, "1h 05m"},
                                             {750, "12h 30m"},
                                             {6000, "100h 00m"},
                                             {-5, "-5m"},
                                             {-125, "-125m"}})
        EXPECT_EQ(duration(minutes), text) << minutes;
}

TEST(Clock, HoursWithoutPaddingAndTwoDigitMinutes) {
    // Negative counts keep one sign.
    for (const auto& [minutes, text] :
         Cases{{45, "0:45"}, {60, "1:00"}, {185, "3:05"}, {1630, "27:10"}, {0, "0:00"}, {-65, "-1:05"}, {-5, "-0:05"}})
        EXPECT_EQ(clock(minutes), text) << minutes;
}

}  // namespace
}  // namespace norvane
