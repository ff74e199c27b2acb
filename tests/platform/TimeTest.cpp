#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "platform/DateFormatter.h"
#include "platform/LocaleText.h"
#include "platform/Time.h"

namespace norvane {
namespace {

// Year, month, day, hour, minute, second and weekday.
std::optional<std::array<int, 7>> parts(const Calendar& calendar, Date date) {
    const auto p = calendar.parts(date);
    if (!p) return std::nullopt;
    return std::array{p->year, p->month, p->day, p->hour, p->minute, p->second, p->weekday};
}

TEST(Calendar, PartsFollowTheTimeZone) {
    const Date midnight{1'772'924'400};  // 2026-03-07 23:00 UTC, a Saturday; in Berlin Sunday 00:00
    EXPECT_EQ(parts(Calendar("Europe/Berlin"), midnight), (std::array{2026, 3, 8, 0, 0, 0, 1}));
    EXPECT_EQ(parts(Calendar("UTC"), midnight), (std::array{2026, 3, 7, 23, 0, 0, 7}));
}

TEST(Calendar, DayArithmeticKeepsTheTimeOfDayAcrossAClockChange) {
    const Calendar berlin("Europe/Berlin");
    const Date noon = *berlin.date(2026, 3, 28, 12);  // the day before summer time starts
    const Date next = *berlin.addingDays(noon, 1);
    EXPECT_EQ(next - noon, 23 * 3600.0);
    EXPECT_EQ(berlin.parts(next)->hour, 12);
    EXPECT_EQ(*berlin.addingDays(next, -1), noon);
    EXPECT_EQ(berlin.offsetFromUtc(noon), 3600);
    EXPECT_EQ(berlin.offsetFromUtc(next), 7200);
}

TEST(Calendar, MonthAndYearArithmeticClampToTheMonthsEnd) {
    const Calendar utc("UTC");
    const Date jan31 = *utc.date(2026, 1, 31, 8);
    EXPECT_EQ(parts(utc, *utc.addingMonths(jan31, 1)), (std::array{2026, 2, 28, 8, 0, 0, 7}));
    const auto leap = *utc.date(2028, 2, 29);
    EXPECT_EQ(utc.parts(*utc.addingYears(leap, -3))->day, 28);
}

TEST(Calendar, StartOfDayAndLenientDates) {
    const Calendar tokyo("Asia/Tokyo");
    const Date evening = *tokyo.date(2026, 12, 8, 21, 30, 15);
    const Date start = *tokyo.startOfDay(evening);
    EXPECT_EQ(evening - start, 21 * 3600 + 30 * 60 + 15.0);
    // Day 32 rolls into the next month rather than failing.
    EXPECT_EQ(tokyo.parts(*tokyo.date(2026, 12, 32))->month, 1);
}

TEST(Calendar, NextTimeTakesTheNextExistingAndTheFirstRepeatedTime) {
    struct Case {
        const char* zone;
        double after;  // UTC seconds
        int hour, minute;
        double expected;
        const char* what;
    };
    const std::vector<Case> cases{
        {"Europe/Berlin", 1'782'883'800 - 60, 7, 30, 1'782'883'800, "a summer day, a minute before"},
        {"Europe/Berlin", 1'782'883'800, 7, 30, 1'782'970'200, "asked at the time itself: the next day"},
        {"Europe/Berlin", 1'774'738'800, 2, 30, 1'774'746'000, "skipped: 03:00, when the clock jumps"},
        {"Europe/Berlin", 1'774'746'000, 2, 30, 1'774'830'600, "after the jump: 02:30 the next day"},
        {"Europe/Berlin", 1'792'879'200, 2, 30, 1'792'888'200, "repeated: the first 02:30, summer time"},
        {"Europe/Berlin", 1'792'888'200, 2, 30, 1'792'978'200, "after the first: not the repeat, the next day"},
        {"America/Sao_Paulo", 1'541'257'200, 0, 0, 1'541'300'400, "a skipped midnight: 01:00"},
    };
    for (const auto& c : cases) {
        const Calendar calendar(c.zone);
        EXPECT_EQ(calendar.nextTime(c.hour, c.minute, Date{c.after}).value_or(Date{}).seconds, c.expected) << c.what;
    }
    const Calendar berlin("Europe/Berlin");
    EXPECT_EQ(berlin.nextTime(24, 0, Date{1'782'883'800}), std::nullopt);
    EXPECT_EQ(berlin.nextTime(7, 60, Date{1'782'883'800}), std::nullopt);
    // The other operations keep ICU's lenient reading of a skipped time.
    EXPECT_EQ(berlin.date(2026, 3, 29, 2, 30), Date{1'774'747'800});
}

TEST(Calendar, CurrentHonoursTz) {
    ::setenv("TZ", "America/New_York", 1);
    EXPECT_EQ(Calendar::current().timeZone(), "America/New_York");
    ::setenv("TZ", ":Asia/Kolkata", 1);
    EXPECT_EQ(Calendar::current().offsetFromUtc(Date{1'780'000'000}), 19800);
    ::unsetenv("TZ");
}

TEST(Calendar, CopiesAreIndependent) {
    Calendar a("UTC");
    Calendar b = a;
    a = Calendar("Asia/Tokyo");
    EXPECT_EQ(b.timeZone(), "UTC");
    EXPECT_EQ(a.timeZone(), "Asia/Tokyo");
}

TEST(Date, NowCountsFromTheEpoch) {
    EXPECT_GT(Date::now().seconds, 1.7e9);
}

// 2026-12-08 21:04:09 UTC: 22:04 in Berlin, already the 9th in Tokyo.
constexpr Date evening{1'796'763'849};

TEST(DateFormatter, FollowsTheLocaleAndTheZone) {
    struct Case {
        const char* locale;
        const char* zone;
        const char* date;
        const char* month;
        const char* monthName;
        const char* time;
        const char* seconds;
    };
    for (const Case& c : {
             Case{"en_GB", "Europe/Berlin", "8 December 2026", "December 2026", "December", "22:04", "22:04:09"},
             Case{"en_US", "Europe/Berlin", "December 8, 2026", "December 2026", "December", "10:04\u202fPM",
                  "10:04:09\u202fPM"},
             Case{"de_DE.UTF-8", "Europe/Berlin", "8. Dezember 2026", "Dezember 2026", "Dezember", "22:04", "22:04:09"},
             Case{"fr-FR", "Asia/Tokyo", "9 décembre 2026", "décembre 2026", "décembre", "06:04", "06:04:09"},
             Case{"en_GB", "Not/AZone", "8 December 2026", "December 2026", "December", "21:04", "21:04:09"},
         }) {
        SCOPED_TRACE(c.locale);
        const DateFormatter format(c.locale, c.zone);
        EXPECT_EQ(format.dayMonthYear(evening), c.date);
        EXPECT_EQ(format.monthAndYear(evening), c.month);
        EXPECT_EQ(format.monthName(evening), c.monthName);
        EXPECT_EQ(format.shortTime(evening), c.time);
        EXPECT_EQ(format.timeWithSeconds(evening), c.seconds);
    }
}

TEST(DateFormatter, TheUserLocaleComesFromTheEnvironment) {
    struct Case {
        const char* all;
        const char* time;
        const char* lang;
        const char* expected;
    };
    for (const Case& c : {
             Case{nullptr, "fr_CA.UTF-8", "de_DE.UTF-8", "fr_CA"},
             Case{"en_GB.UTF-8", "fr_CA.UTF-8", "de_DE.UTF-8", "en_GB"},
             Case{nullptr, nullptr, "C.UTF-8", "en_US_POSIX"},
             Case{nullptr, nullptr, nullptr, "en_US_POSIX"},
         }) {
        auto set = [](const char* name, const char* value) {
            if (value)
                ::setenv(name, value, 1);
            else
                ::unsetenv(name);
        };
        set("LC_ALL", c.all);
        set("LC_TIME", c.time);
        set("LANG", c.lang);
        EXPECT_EQ(DateFormatter::userLocale(), c.expected);
    }
    // The last row left all three unset.
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::setenv("LANG", "en_GB.UTF-8", 1);
    EXPECT_EQ(DateFormatter::current().dayMonthYear(evening), "9 December 2026");
    ::unsetenv("TZ");
    ::unsetenv("LANG");
}

TEST(LocaleText, ListsJoinAsTheLanguageDoes) {
    struct Case {
        const char* locale;
        std::vector<std::string> items;
        const char* joined;
    };
    const Case cases[] = {
        {"en_US", {}, ""},
        {"en_US", {"Claude"}, "Claude"},
        {"en_US", {"Claude", "Codex"}, "Claude and Codex"},
        {"en_US", {"Aider", "Claude", "Codex"}, "Aider, Claude, and Codex"},
        {"en_GB", {"Aider", "Claude", "Codex"}, "Aider, Claude and Codex"},
        {"de_DE.UTF-8", {"Aider", "Claude", "Codex"}, "Aider, Claude und Codex"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LocaleText(c.locale).conjunction(c.items), c.joined) << c.locale;
}

TEST(LocaleText, ComparesIgnoringCaseInTheLanguagesOrder) {
    const LocaleText english("en_US");
    EXPECT_EQ(english.compare("slack", "Slack"), 0);
    EXPECT_LT(english.compare("firefox", "Slack"), 0);
    EXPECT_GT(english.compare("Zoom", "äpfel"), 0);  // ä sorts with a, not after z
    EXPECT_NE(english.compare("resume", "résumé"), 0);
    EXPECT_GT(LocaleText("sv_SE").compare("äpfel", "Zoom"), 0);  // in Swedish ä follows z
}

}  // namespace
}  // namespace norvane
