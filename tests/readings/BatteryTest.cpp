#include <gtest/gtest.h>

#include "app/readings/Battery.h"
#include "app/readings/BatteryReport.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/PropertyList.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

// A registry with one battery whose properties the test spells out.
class BatteryRead : public ::testing::Test {
protected:
    TempMachine temp;

    std::optional<Battery> read(Value::Dictionary top) {
        temp.write("ioreg/AppleSmartBattery.plist",
                   writePropertyList(Value::array({Value::dictionary(std::move(top))})));
        return Battery::read(MachineRegistry(temp.machine()));
    }
    static Value n(std::int64_t v) { return Value::integer(v); }
    static Value flag(bool v) { return Value::boolean(v); }
};

TEST_F(BatteryRead, ReadsTheTemplateMachine) {
    const Machine machine(Machine::templateFolder());
    const auto battery = Battery::read(MachineRegistry(machine));
    // The current is stored in the registry's unsigned form.
    ASSERT_EQ(battery, (Battery{72, false, false, -1243, 12187, 4752, 4890, 5103, 187, 165}));
    EXPECT_EQ(battery->health(), 96);
}

TEST_F(BatteryRead, NoServiceUnreadablePropertiesOrAMacWithoutABatteryMeanNoBattery) {
    EXPECT_FALSE(Battery::read(MachineRegistry(temp.machine())));
    temp.write("ioreg/AppleSmartBattery.plist", "<plist><array><string>odd</string></array></plist>");
    EXPECT_FALSE(Battery::read(MachineRegistry(temp.machine())));
    temp.write("ioreg/AppleSmartBattery.plist", testing::fixture("ioreg/no-battery.plist"));
    EXPECT_FALSE(Battery::read(MachineRegistry(temp.machine())));
    const auto installed = read({{"BatteryInstalled", flag(true)}, {"CurrentCapacity", n(40)}});
    ASSERT_TRUE(installed);
    EXPECT_EQ(installed->percent, 40);
    // Missing keys become zero, false or absent.
    EXPECT_EQ(read({}), Battery{});
}

TEST_F(BatteryRead, NumbersFallBackToBatteryDataOnlyWhenTheTopLevelLacksThemFlagsNever) {
    auto b = read({{"BatteryData", Value::dictionary({{"CycleCount", n(412)}, {"DesignCapacity", n(5000)}})},
                   {"DesignCapacity", n(4382)}});
    EXPECT_EQ(b->cycles, 412);
    EXPECT_EQ(b->design, 4382);  // the top level wins
    // A top-level value of the wrong kind does not fall back.
    b = read({{"BatteryData", Value::dictionary({{"CycleCount", n(412)}})}, {"CycleCount", Value::string("412")}});
    EXPECT_EQ(b->cycles, 0);
    // BatteryData that is not a dictionary is ignored.
    b = read({{"BatteryData", n(3)}, {"CycleCount", n(9)}});
    EXPECT_EQ(b->cycles, 9);
    // Reals are truncated; Booleans are not numbers.
    b = read({{"Voltage", Value::real(12187.9)}, {"Amperage", flag(true)}});
    EXPECT_EQ(b->millivolts, 12187);
    EXPECT_EQ(b->milliamps, 0);
    // Flags come only from the top level, as Booleans.
    b = read({{"BatteryData", Value::dictionary({{"IsCharging", flag(true)}, {"ExternalConnected", flag(true)}})}});
    EXPECT_FALSE(b->charging);
    EXPECT_FALSE(b->plugged);
    b = read({{"IsCharging", n(1)}, {"ExternalConnected", flag(true)}});
    EXPECT_FALSE(b->charging);
    EXPECT_TRUE(b->plugged);
}

// The nominal capacity falls back to the raw maximum. Where only BatteryData's
// FullChargeCapacity is left, it is the full-charge capacity.
TEST_F(BatteryRead, TheRawMaximumStandsInForTheNominalAndTheFullChargeCapacityForTheRawMaximum) {
    const auto data = [](Value::Dictionary nested) { return Value::dictionary(std::move(nested)); };
    const std::tuple<Value::Dictionary, std::int64_t, std::int64_t> cases[] = {
        {{{"AppleRawMaxCapacity", n(4000)}, {"DesignCapacity", n(5000)}}, 4000, 4000},
        {{{"AppleRawMaxCapacity", n(4000)}, {"NominalChargeCapacity", n(4100)}}, 4000, 4100},
        {{{"BatteryData", data({{"NominalChargeCapacity", n(4200)}})}, {"AppleRawMaxCapacity", n(4000)}}, 4000, 4200},
        {{{"BatteryData", data({{"FullChargeCapacity", n(3900)}})}}, 3900, 3900},
        {{{"BatteryData", data({{"FullChargeCapacity", n(3900)}, {"NominalChargeCapacity", n(4000)}})}}, 3900, 4000},
        {{{"BatteryData", data({{"FullChargeCapacity", n(3900)}})}, {"AppleRawMaxCapacity", n(4100)}}, 4100, 4100},
        {{{"BatteryData", data({{"FullChargeCapacity", n(3900)}, {"AppleRawMaxCapacity", n(4200)}})}}, 4200, 4200},
        {{{"FullChargeCapacity", n(95)}}, 0, 0},  // only BatteryData's counts
    };
    for (const auto& [entry, rawMax, nominal] : cases) {
        const auto b = read(entry);
        EXPECT_EQ(std::pair(b->rawMax, b->nominal), std::pair(rawMax, nominal)) << rawMax;
    }
}

TEST_F(BatteryRead, SystemMinutesDependOnThePowerStateAndRange) {
    Value::Dictionary base{{"AvgTimeToFull", n(50)}, {"AvgTimeToEmpty", n(300)}};
    auto with = [&](bool charging, bool plugged) {
        auto d = base;
        d["IsCharging"] = flag(charging);
        d["ExternalConnected"] = flag(plugged);
        return read(d)->systemMinutes;
    };
    EXPECT_EQ(with(true, true), 50);
    EXPECT_EQ(with(false, false), 300);
    EXPECT_FALSE(with(false, true));  // on the adapter, not charging
    EXPECT_EQ(with(true, false), 50);

    for (auto [value, expected] : std::vector<std::pair<std::int64_t, std::optional<std::int64_t>>>{
             {65535, std::nullopt}, {65534, 65534}, {0, std::nullopt}, {-5, std::nullopt}, {1, 1}}) {
        EXPECT_EQ(read({{"AvgTimeToEmpty", n(value)}})->systemMinutes, expected) << value;
    }
    // The estimate may live in BatteryData too.
    EXPECT_EQ(read({{"BatteryData", Value::dictionary({{"AvgTimeToEmpty", n(77)}})}})->systemMinutes, 77);
}

// What the battery program prints: a registry file it cannot read is no Mac without a
// battery, and stretches of sleep are counted in words.
TEST(BatteryProgram, TellsAnUnreadableRegistryAndCountsStretches) {
    const std::string entry = readFile(Machine::templateFolder() / "ioreg/AppleSmartBattery.plist").value_or("");
    const auto sleep = [](int ago) {
        return "{now-" + std::to_string(ago) + "} Sleep               \tEntering Sleep state due to 'Idle Sleep':" +
               "TCPKeepAlive=active Using Batt (Charge:80%) 1800 secs\n{now-" + std::to_string(ago - 1800) +
               "} Wake                \tWake from Normal Sleep [CDNVA] : due to HID Activity Using BATT (Charge:79%)\n";
    };
    struct Case {
        const char* what;
        std::optional<std::string> registry;  // the battery's class file
        std::string log;
        int status;
        std::string line;  // the start of one line of the output
    };
    const std::vector<Case> cases{
        {"cut off", entry.substr(0, 3000), "", 1, "No battery reading: cannot read {file}: not a property list: "},
        {"no file", std::nullopt, "", 0, "No battery: this Mac has no AppleSmartBattery service."},
        {"one stretch", entry, sleep(7200), 0, "Sleep:         1 stretch of ten minutes or more in the power log"},
        {"two", entry, sleep(20000) + sleep(7200), 0, "Sleep:         2 stretches of ten minutes or more"},
    };
    for (const auto& c : cases) {
        TempMachine temp;
        const Path file = temp.root() / "ioreg/AppleSmartBattery.plist";
        if (c.registry) temp.write("ioreg/AppleSmartBattery.plist", *c.registry);
        temp.write("pmset/log.txt", c.log);
        const auto out = SystemProcessRunner(temp.machine()).run(NORVANE_BATTERY_PROGRAM, {});
        EXPECT_EQ(out.exitCode, c.status) << c.what;
        std::string line = c.line;
        if (const auto at = line.find("{file}"); at != std::string::npos) line.replace(at, 6, file.string());
        EXPECT_NE(out.output.find("\n" + line), std::string::npos) << c.what << ":\n" << out.output;
    }
}

TEST(BatteryHealth, RoundsHalvesUpAndCapsAtAHundred) {
    const auto health = [](std::int64_t nominal, std::int64_t design) {
        Battery b;
        b.nominal = nominal;
        b.design = design;
        return b.health();
    };
    EXPECT_EQ(health(5103, 5000), 100);
    EXPECT_EQ(health(4975, 5000), 100);  // 99.5
    EXPECT_EQ(health(4974, 5000), 99);   // 99.48
    EXPECT_EQ(health(4025, 5000), 81);   // 80.5
    EXPECT_FALSE(health(4000, 0));
    EXPECT_FALSE(health(0, 5000));
    EXPECT_FALSE(health(-1, 5000));
}

std::string profilerJson(const std::string& health, const std::string& capacity) {
    return R"({"SPPowerDataType":[{"_name":"spbattery_information","sppower_battery_health_info":{)"
           R"("sppower_battery_health":")" +
           health + R"(","sppower_battery_health_maximum_capacity":")" + capacity + R"("}}]})";
}

TEST(SystemProfiler, CapacityWithinRangeAndServiceForAnyWordButGood) {
    const auto parse = [](std::string_view json) {
        return SystemBatteryReport{parseMaximumCapacity(json), parseServiceRecommended(json)};
    };
    const std::vector<std::pair<std::string, SystemBatteryReport>> cases{
        {profilerJson("Good", "87%"), {87, false}},
        {profilerJson("good", "150%"), {150, true}},
        {profilerJson("Fair", "151%"), {std::nullopt, true}},
        {profilerJson("Good", "0%"), {}},
        {profilerJson("Good", "%"), {}},
        {profilerJson("Good", "about 9 1 %"), {91, false}},
        // A number character that is not an ASCII digit survives the filter but cannot parse.
        {profilerJson("Good", "8\u00BD%"), {}},
        {R"({"SPPowerDataType":[{"sppower_battery_health_info":{"sppower_battery_health_maximum_capacity":87}}]})", {}},
        {R"({"SPPowerDataType":[{"sppower_battery_health_info":{"sppower_battery_health":true}}]})", {}},
        {R"({"SPPowerDataType":[{"sppower_battery_health_info":{}}]})", {}},
    };
    for (const auto& [json, report] : cases)
        EXPECT_EQ(parse(json), report) << json;
    // Wrong shapes give nothing.
    for (const char* text : {"", "[]", "{}", R"({"SPPowerDataType":{}})", R"({"SPPowerDataType":[1]})",
                             R"({"SPPowerDataType":[{"sppower_battery_health_info":"Good"}]})", "{broken"})
        EXPECT_EQ(parse(text), SystemBatteryReport{}) << text;
}

TEST(SystemProfiler, ReportRunsTheSimulatedCommand) {
    TempMachine temp;
    temp.write("system_profiler/SPPowerDataType.json", testing::fixture("system_profiler/second-entry.json"));
    const SystemProcessRunner runner(temp.machine());
    EXPECT_EQ(systemBatteryReport(runner), (SystemBatteryReport{79, true}));
    // The first entry with health information is used. Without the command: nothing known.
    std::filesystem::remove(temp.root() / "usr/sbin/system_profiler");
    EXPECT_EQ(systemBatteryReport(runner), SystemBatteryReport{});
}

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

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

TEST(BatteryReport, WritesTheWholePage) {
    EXPECT_EQ(batteryReport(facts(), british), testing::fixture("report/battery-report.html"));
}

TEST(BatteryReport, WritesEachRowFromItsFacts) {
    struct Case {
        void (*change)(BatteryReportFacts&);
        const char* row;
    };
    for (const Case& c : {
             Case{[](BatteryReportFacts& f) { f.health.reset(); },
                  "<tr><th>Maximum capacity</th><td>not reported</td></tr>"},
             Case{[](BatteryReportFacts& f) { f.design = 0; },
                  "<tr><th>Capacity when new</th><td>not reported</td></tr>"},
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
    EXPECT_TRUE(contains(page,
                         "<h2>Health over time</h2>\n<p class=\"note\">No history yet: Norvane records the "
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
