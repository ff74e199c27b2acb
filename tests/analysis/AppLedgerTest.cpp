#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "app/analysis/AppLedger.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempFolder;

const Calendar berlin("Europe/Berlin");
const Calendar utc("UTC");
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// Instants are built in UTC so that the zone under test does not decide them.
Date utcDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return *utc.date(year, month, day, hour, minute, second);
}

Date noon(int year, int month, int day) {
    return *berlin.date(year, month, day, 12);
}

AppUsage app(std::string id, double impact) {
    return {std::move(id), "", impact, 1};
}

const std::string mail = "/Applications/Mail.app";
const std::string code = "/Applications/Visual Code.app";

TEST(AppLedgerDay, ZeroPaddedYearMonthDayOfTheCalendarsZone) {
    EXPECT_EQ(AppLedger::day(noon(2026, 3, 7), berlin), "2026-03-07");
    EXPECT_EQ(AppLedger::day(noon(2026, 12, 31), berlin), "2026-12-31");
    EXPECT_EQ(AppLedger::day(*utc.date(987, 1, 2, 12), utc), "0987-01-02");
    // 23:00 UTC on 6 March is midnight in Berlin (UTC+1).
    const Date midnight = utcDate(2026, 3, 6, 23);
    EXPECT_EQ(AppLedger::day(midnight, berlin), "2026-03-07");
    EXPECT_EQ(AppLedger::day(midnight - 1, berlin), "2026-03-06");
    EXPECT_EQ(AppLedger::day(midnight, utc), "2026-03-06");
    EXPECT_EQ(AppLedger::day(midnight, Calendar("America/Los_Angeles")), "2026-03-06");
    // 29 March 2026 in Berlin starts at UTC+1 and ends at UTC+2: it lasts 23 hours.
    EXPECT_EQ(AppLedger::day(utcDate(2026, 3, 28, 23), berlin), "2026-03-29");
    EXPECT_EQ(AppLedger::day(utcDate(2026, 3, 29, 21, 59, 59), berlin), "2026-03-29");
    EXPECT_EQ(AppLedger::day(utcDate(2026, 3, 29, 22), berlin), "2026-03-30");
}

TEST(AppLedgerAdd, AddsImpactTimesSecondsToTodayIncludingSystem) {
    AppLedger ledger;
    ledger.add({app(mail, 12.5), app("", 2)}, 60, noon(2026, 3, 7), berlin);
    ledger.add({app(mail, 1)}, 10, noon(2026, 3, 7) + 3600, berlin);
    ledger.add({app(code, 4)}, 30, noon(2026, 3, 8), berlin);
    const AppLedger expected{{
        {"2026-03-07", {{mail, 760}, {"", 120}}},
        {"2026-03-08", {{code, 120}}},
    }};
    EXPECT_EQ(ledger, expected);
}

TEST(AppLedgerAdd, SecondsNotAboveZeroOrNotFiniteOrAnEmptySampleChangeNothing) {
    for (const double seconds : {0.0, -5.0, -0.0, nan, inf, -inf}) {
        AppLedger empty;
        EXPECT_FALSE(empty.add({app(mail, 3)}, seconds, noon(2026, 3, 7), berlin));
        EXPECT_TRUE(empty.days.empty()) << seconds;  // not even today's key

        AppLedger ledger{{{"2026-03-07", {{mail, 5}}}}};
        EXPECT_FALSE(ledger.add({app(mail, 3), app(code, 1)}, seconds, noon(2026, 3, 7), berlin));
        EXPECT_EQ(ledger, (AppLedger{{{"2026-03-07", {{mail, 5}}}}})) << seconds;
    }
    // Nor does an empty sample.
    AppLedger ledger;
    EXPECT_FALSE(ledger.add({}, 60, noon(2026, 3, 7), berlin));
    EXPECT_TRUE(ledger.days.empty());
    // It tells whether it changed: an app's figure, a new app, or nothing (no impact).
    ledger = AppLedger{{{"2026-03-07", {{mail, 5}}}}};
    EXPECT_TRUE(ledger.add({app(mail, 1)}, 60, noon(2026, 3, 7), berlin));
    EXPECT_FALSE(ledger.add({app(mail, 0)}, 60, noon(2026, 3, 7), berlin));
    EXPECT_TRUE(ledger.add({app(code, 0)}, 60, noon(2026, 3, 7), berlin));
    EXPECT_FALSE(ledger.add({app(code, 0), app(mail, 0)}, 60, noon(2026, 3, 7), berlin));
}

TEST(AppLedgerAdd, LeavesOutEnergyThatIsNotFinite) {
    const double huge = std::numeric_limits<double>::max();
    AppLedger ledger{{{"2026-03-07", {{code, huge}}}}};
    ledger.add({app(mail, nan), app("", inf), app(code, huge), app("/Applications/Notes.app", 2)}, 60, noon(2026, 3, 7),
               berlin);
    EXPECT_EQ(ledger, (AppLedger{{{"2026-03-07", {{code, huge}, {"/Applications/Notes.app", 120}}}}}));

    AppLedger onlyBad;
    EXPECT_FALSE(onlyBad.add({app(mail, nan), app(code, 1e308)}, 120, noon(2026, 3, 7), berlin));
    EXPECT_TRUE(onlyBad.days.empty());

    // So the ledger stays encodable.
    TempFolder dir;
    EXPECT_TRUE(ledger.save(dir / "apps.json"));
    EXPECT_EQ(AppLedger::load(dir / "apps.json"), ledger);
}

TEST(AppLedgerAdd, KeepsTheNewestThirtyDays) {
    AppLedger ledger;
    const Date first = noon(2026, 2, 15);  // across the end of February
    for (int i = 0; i < 31; ++i) {
        ledger.add({app(mail, 1)}, 1, *berlin.addingDays(first, i), berlin);
        EXPECT_EQ(ledger.days.size(), static_cast<std::size_t>(std::min(i + 1, 30)));
    }
    EXPECT_FALSE(ledger.days.contains("2026-02-15"));
    EXPECT_EQ(ledger.days.begin()->first, "2026-02-16");
    EXPECT_EQ(ledger.days.rbegin()->first, "2026-03-17");

    // A day key before every kept one is the oldest and goes at once: nothing changed.
    EXPECT_FALSE(ledger.add({app(mail, 1)}, 1, noon(2026, 1, 1), berlin));
    EXPECT_EQ(ledger.days.size(), 30u);
    EXPECT_FALSE(ledger.days.contains("2026-01-01"));
}

TEST(AppLedgerSampleSeconds, KeepsTheTimeSinceTheLastSampleWithinZeroTo120) {
    // Below 0 the clock went backwards.
    const std::pair<double, double> cases[] = {
        {8, 8}, {120, 120}, {3600, 120}, {inf, 120}, {0, 0}, {-30, 0}, {-inf, 0}, {nan, 0},
    };
    for (const auto& [since, seconds] : cases)
        EXPECT_EQ(AppLedger::sampleSeconds(since), seconds) << since;
}

TEST(AppLedgerTotals, SumTodayAndTheDaysBeforeItHeaviestFirst) {
    const Date now = noon(2026, 3, 10);
    const AppLedger ledger{{
        {"2026-03-11", {{mail, 1000}}},  // tomorrow: never counted
        {"2026-03-10", {{mail, 10}, {"", 5}}},
        {"2026-03-07", {{code, 40}, {mail, 1}}},
        {"2026-03-04", {{"", 100}}},    // six days ago
        {"2026-03-03", {{code, 500}}},  // seven days ago
    }};
    EXPECT_TRUE(AppLedger{}.totals(7, now, berlin).empty());
    for (const int days : {0, -1, std::numeric_limits<int>::min()})
        EXPECT_TRUE(ledger.totals(days, now, berlin).empty()) << days;
    EXPECT_EQ(ledger.totals(1, now, berlin), (std::vector<AppUsage>{{mail, "Mail", 10, 0}, {"", "System", 5, 0}}));
    const std::vector<AppUsage> week{{"", "System", 105, 0}, {code, "Visual Code", 40, 0}, {mail, "Mail", 11, 0}};
    EXPECT_EQ(ledger.totals(7, now, berlin), week);
    EXPECT_EQ(ledger.totals(8, now, berlin).front(), (AppUsage{code, "Visual Code", 540, 0}));
}

TEST(AppLedgerTotals, StepBackByCalendarDaysAcrossAClockChange) {
    // 00:30 on 30 March in Berlin; 24 hours earlier is still 28 March, but the day before is the 29th.
    const Date now = utcDate(2026, 3, 29, 22, 30);
    const AppLedger ledger{{{"2026-03-28", {{mail, 1}}}, {"2026-03-29", {{mail, 2}}}, {"2026-03-30", {{mail, 4}}}}};
    EXPECT_EQ(ledger.totals(2, now, berlin), (std::vector<AppUsage>{{mail, "Mail", 6, 0}}));
    EXPECT_EQ(ledger.totals(3, now, berlin), (std::vector<AppUsage>{{mail, "Mail", 7, 0}}));
    // Today is the day of the calendar's zone: in UTC it is still the 29th.
    EXPECT_EQ(ledger.totals(1, now, utc), (std::vector<AppUsage>{{mail, "Mail", 2, 0}}));
}

class AppLedgerFile : public ::testing::Test {
protected:
    TempFolder dir;
    Path url = dir / "Norvane/apps.json";
    Path aside = dir / "Norvane/apps.json.unreadable-1";
};

TEST_F(AppLedgerFile, SaveCreatesTheFolderAndReplacesTheWholeFileWithOneObjectKeyedByDay) {
    ASSERT_TRUE((AppLedger{{{"2026-03-06", {{mail, 1}}}}}).save(dir / "Norvane/deeper/apps.json"));
    const AppLedger ledger{{
        {"2026-03-07", {{mail, 5320.5}, {"", 812}}},
        {"2026-03-08", {{code, 0.1 + 0.2}}},
    }};
    ASSERT_TRUE(ledger.save(dir / "Norvane/deeper/apps.json"));
    EXPECT_EQ(readFile(dir / "Norvane/deeper/apps.json"),
              R"({"2026-03-07":{"":812.0,"/Applications/Mail.app":5320.5},)"
              R"("2026-03-08":{"/Applications/Visual Code.app":0.30000000000000004}})");
    // Every figure comes back exactly, and no temporary file is left behind.
    EXPECT_EQ(AppLedger::load(dir / "Norvane/deeper/apps.json"), ledger);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "Norvane/deeper"), {}), 1);
}

TEST_F(AppLedgerFile, LoadsTheFormatWrittenElsewhereAndMovesNothingThatDecodes) {
    // A missing file, or one elsewhere in the folder, is an empty ledger.
    EXPECT_TRUE(AppLedger::load(url).days.empty());
    EXPECT_FALSE(fileExists(url.parent_path()));
    dir.write("Norvane/other.txt", "x");
    EXPECT_TRUE(AppLedger::load(url).days.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(url.parent_path()), {}), 1);
    // So is an empty object, which stays.
    dir.write("Norvane/apps.json", "{}");
    EXPECT_TRUE(AppLedger::load(url).days.empty());
    EXPECT_EQ(readFile(url), "{}");

    dir.write("Norvane/apps.json",
              "\n{ \"2026-03-07\" : { \"/Applications/Mail.app\": 5320.5, \"\": 812 },\n"
              "  \"2026-03-06\": {},\n  \"2026-03-05\": { \"/Applications/Old.app\": 1e3 } }\n");
    const AppLedger expected{{
        {"2026-03-05", {{"/Applications/Old.app", 1000}}},
        {"2026-03-06", {}},
        {"2026-03-07", {{mail, 5320.5}, {"", 812}}},
    }};
    EXPECT_EQ(AppLedger::load(url), expected);
    EXPECT_FALSE(fileExists(aside));
}

TEST_F(AppLedgerFile, UndecodableOrUnreadableFileIsMovedAsideBeforeTheFirstSave) {
    // Nesting deeper than the reader's limit would overflow the stack if it were followed.
    const std::string deep = std::string(20000, '[') + std::string(20000, ']');
    for (const std::string& text : std::initializer_list<std::string>{
             deep,
             "",
             "not json",
             "{\"2026-03-07\": {\"/Applications/Mail.app\": 12",  // cut off
             "[]",
             "5",
             "{\"2026-03-07\": 5}",
             "{\"2026-03-07\": [1, 2]}",
             "{\"2026-03-07\": {\"/Applications/Mail.app\": \"12\"}}",
             "{\"2026-03-07\": {\"/Applications/Mail.app\": null}}",
             "{\"2026-03-07\": {\"/Applications/Mail.app\": true}}",
             "{\"2026-03-07\": {\"/Applications/Mail.app\": {\"energy\": 1}}}",
             // One foreign entry spoils the file: nothing good in it is silently dropped.
             "{\"2026-03-07\": {\"/Applications/Mail.app\": 12}, \"2026-03-08\": {\"\": \"x\"}}",
         }) {
        SCOPED_TRACE(text.substr(0, 60));
        dir.write("Norvane/apps.json", text);
        const AppLedger loaded = AppLedger::load(url);
        EXPECT_TRUE(loaded.days.empty());
        EXPECT_FALSE(fileExists(url));
        EXPECT_EQ(readFile(aside), text);

        const AppLedger next{{{"2026-03-09", {{mail, 1}}}}};
        ASSERT_TRUE(next.save(url));
        EXPECT_EQ(readFile(aside), text);  // the save did not touch it
        std::filesystem::remove(aside);
    }
    std::filesystem::remove(url);
    std::filesystem::create_directories(url);  // apps.json is a folder
    EXPECT_TRUE(AppLedger::load(url).days.empty());
    EXPECT_TRUE(std::filesystem::is_directory(aside));
    EXPECT_TRUE((AppLedger{{{"2026-03-09", {{mail, 1}}}}}).save(url));
}

TEST_F(AppLedgerFile, FailedSavesWriteNothingAndReportIt) {
    // A figure that JSON cannot hold: nothing is written, the old file stays.
    const AppLedger good{{{"2026-03-07", {{mail, 1}}}}};
    ASSERT_TRUE(good.save(url));
    const AppLedger bad{{{"2026-03-07", {{mail, nan}}}}};
    EXPECT_FALSE(bad.save(url));
    EXPECT_EQ(AppLedger::load(url), good);

    // A folder that cannot be made: a file stands where it should be.
    dir.write("blocker", "keep");
    EXPECT_FALSE(good.save(dir / "blocker/apps.json"));
    EXPECT_EQ(readFile(dir / "blocker"), "keep");
}

}  // namespace
}  // namespace norvane
