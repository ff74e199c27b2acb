#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/DateFormatter.h"
#include "platform/LocaleText.h"

namespace norvane {
namespace {

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
             Case{"en_US", "Europe/Berlin", "December 8, 2026", "December 2026", "December", "10:04\u202fPM", "10:04:09\u202fPM"},
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
            if (value) ::setenv(name, value, 1);
            else ::unsetenv(name);
        };
        set("LC_ALL", c.all);
        set("LC_TIME", c.time);
        set("LANG", c.lang);
        EXPECT_EQ(DateFormatter::userLocale(), c.expected);
    }
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_TIME");
    ::unsetenv("LANG");
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
