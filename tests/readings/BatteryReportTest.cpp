#include <gtest/gtest.h>

#include "app/readings/BatteryReport.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

const Calendar berlin("Europe/Berlin");
const DateFormatter british("en_GB", "Europe/Berlin");

BatteryReportFacts facts() {
    BatteryReportFacts f;
    f.made = Date{1'796'763'849};  // 8 December 2026, 22:04 in Berlin
    f.mac = "MacBookPro18,3 · Apple M1 Pro";
    f.system = systemName(26, 1, 0);
    f.health = 91;
    f.capacity = 4382;
    f.design = 4563;
    f.cycles = 412;
    f.limit = 80;
    f.since = "2024-01-15";
    f.months = {{*berlin.date(2026, 11, 1), 92.4567, 398}, {*berlin.date(2026, 12, 1), 91.98, 412}};
    return f;
}

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

TEST(BatteryReport, WritesTheWholePage) {
    EXPECT_EQ(batteryReport(facts(), british), testing::fixture("report/battery-report.html"));
}

TEST(BatteryReport, WritesEachRowFromItsFacts) {
    struct Case {
        void (*change)(BatteryReportFacts&);
        const char* row;
    };
    for (const Case& c : {
             Case{[](BatteryReportFacts& f) { f.health.reset(); }, "<tr><th>Maximum capacity</th><td>not reported</td></tr>"},
             Case{[](BatteryReportFacts& f) { f.design = 0; }, "<tr><th>Capacity when new</th><td>not reported</td></tr>"},
             Case{[](BatteryReportFacts& f) { f.design = 1; }, "<tr><th>Capacity when new</th><td>1 mAh</td></tr>"},
             Case{[](BatteryReportFacts& f) { f.limit = 100; }, "<tr><th>Charge limit</th><td>off</td></tr>"},
             Case{[](BatteryReportFacts& f) { f.limit = 99; }, "<tr><th>Charge limit</th><td>99%</td></tr>"},
             Case{[](BatteryReportFacts& f) { f.system = systemName(26, 0, 0); }, "<td>macOS 26.0</td>"},
             Case{[](BatteryReportFacts& f) { f.system = systemName(26, 1, 2); }, "<td>macOS 26.1.2</td>"},
             Case{[](BatteryReportFacts& f) { f.since.reset(); },
                  "<p class=\"note\">The average of the daily readings of each month.</p>"},
         }) {
        BatteryReportFacts f = facts();
        c.change(f);
        EXPECT_TRUE(contains(batteryReport(f, british), c.row)) << c.row;
    }
}

TEST(BatteryReport, WithoutHistorySaysSoInsteadOfATable) {
    BatteryReportFacts f = facts();
    f.months.clear();
    const std::string page = batteryReport(f, british);
    EXPECT_TRUE(contains(page, "<h2>Health over time</h2>\n<p class=\"note\">No history yet: Norvane records the "
                               "capacity once a day.</p>\n<p class=\"note\">Read from"));
    EXPECT_FALSE(contains(page, "<th>Month</th>"));
}

TEST(BatteryReport, EscapesEveryTextFromTheSystem) {
    BatteryReportFacts f = facts();
    f.mac = "Mac & <b>\"Pro\"</b>";
    f.system = "macOS <26>";
    f.since = "2024&01";
    const std::string page = batteryReport(f, DateFormatter("en_US", "Europe/Berlin"));
    EXPECT_TRUE(contains(page, "<tr><th>Mac</th><td>Mac &amp; &lt;b&gt;&quot;Pro&quot;&lt;/b&gt;</td></tr>"));
    EXPECT_TRUE(contains(page, "<td>macOS &lt;26&gt;</td>"));
    EXPECT_TRUE(contains(page, ", recorded since 2024&amp;01.</p>"));
    // The locale's own texts land in the page as they are formatted.
    EXPECT_TRUE(contains(page, "<title>Battery report · December 8, 2026</title>"));
    EXPECT_TRUE(contains(page, "<p class=\"note\">December 8, 2026, 10:04\u202fPM</p>"));
    EXPECT_TRUE(contains(page, "<tr><td>November 2026</td><td>92.5%</td><td>398</td></tr>"));
}

TEST(BatteryReport, FileNameCarriesTheLocalDay) {
    const Date lateEvening = *berlin.date(2026, 12, 31, 23, 30);
    EXPECT_EQ(batteryReportFileName(lateEvening, berlin), "Norvane battery report 2026-12-31.html");
    EXPECT_EQ(batteryReportFileName(lateEvening, Calendar("Asia/Tokyo")), "Norvane battery report 2027-01-01.html");
}

}  // namespace
}  // namespace norvane
