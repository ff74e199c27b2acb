#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "app/readings/SleepLog.h"
#include "platform/Text.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

const Calendar utc("UTC");
Date at(int day, int hour, int minute, int second = 0) {
    return *utc.date(2026, 12, day, hour, minute, second);
}

// One log line on 8 December 2026 (UTC+1), `minutes` after 22:00 local time.
std::string line(int minutes, std::string_view kind, std::string_view message, int charge,
                 std::string_view source = "BATT") {
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "2026-12-%02d %02d:%02d:00 +0100 ", 8 + (22 * 60 + minutes) / 1440,
                  (22 + minutes / 60) % 24, minutes % 60);
    std::string domain(kind);
    domain.resize(20, ' ');
    return stamp + domain + "\t" + std::string(message) + " Using " + std::string(source) +
           " (Charge:" + std::to_string(charge) + "%)\n";
}
std::string sleep(int minutes, int charge, std::string_view source = "BATT") {
    return line(minutes, "Sleep", "Entering Sleep state due to 'Idle Sleep':TCPKeepAlive=active", charge, source);
}
std::string maintenance(int minutes, int charge) {
    return line(minutes, "Sleep", "Entering Sleep state due to 'Maintenance Sleep':TCPKeepAlive=active", charge);
}
std::string wake(int minutes, int charge, std::string_view reason = "EC.LidOpen/Lid Open",
                 std::string_view source = "BATT") {
    return line(minutes, "Wake", "Wake from Deep Idle [CDNVA] : due to " + std::string(reason), charge, source);
}
std::string darkWake(int minutes, int charge, std::string_view reason) {
    return line(minutes, "DarkWake", "DarkWake from Deep Idle [CDNP] : due to " + std::string(reason), charge);
}
// 22:00 on 8 December, UTC+1.
const Date ten = at(8, 21, 0);
// From `from` to `to` minutes after ten.
SleepStretch stretch(int from, int to, std::int64_t before, std::int64_t after, bool onBattery = true,
                     std::int64_t wakes = 0, std::map<std::string, std::int64_t> reasons = {}) {
    return {ten + from * 60.0, ten + to * 60.0, before, after, onBattery, wakes, std::move(reasons)};
}

// The parser's rules, each by a log and the stretches it gives.
TEST(ParseSleepLog, FollowsSleepsWakesAndRestarts) {
    const std::string restart = "2026-12-08 22:40:00 +0100 Start               \tpowerd process is started\n";
    struct Case {
        const char* rule;
        std::string log;
        std::vector<SleepStretch> expected;
    };
    const std::vector<Case> cases{
        {"9 minutes are too short", sleep(0, 80) + wake(9, 79), {}},
        {"10 minutes are kept", sleep(0, 80) + wake(10, 79), {stretch(0, 10, 80, 79)}},
        {"no full wake before the end", sleep(0, 80) + darkWake(30, 79, "rtc/Maintenance"), {}},
        {"two brief wakes between sleep lines are one, named by the first",
         sleep(0, 80) + darkWake(60, 80, "rtc/Maintenance") + darkWake(61, 80, "wifibt") + maintenance(62, 80) +
             darkWake(120, 79, "SMC.OutboxNotEmpty/ Notification") +
             line(121, "Sleep", "Entering Sleep state from DarkWake Back to Sleep", 79) + wake(420, 77),
         {stretch(0, 420, 80, 77, true, 2, {{"scheduled maintenance", 1}, {"notifications", 1}})}},
        {"new after a full wake",
         sleep(0, 80) + wake(20, 79) + sleep(30, 79) + wake(60, 77),
         {stretch(0, 20, 80, 79), stretch(30, 60, 79, 77)}},
        {"a maintenance sleep after a full wake continues it",
         sleep(0, 80) + wake(20, 79, "HID") + maintenance(21, 79) + wake(60, 77),
         {stretch(0, 60, 80, 77, true, 1, {{"lid or keyboard", 1}})}},
        {"a restart closes it", sleep(0, 80) + wake(10, 79) + restart + wake(50, 78), {stretch(0, 10, 80, 79)}},
        {"a restart before the full wake", sleep(0, 80) + restart + wake(50, 78), {}},
        {"Batt in any case", sleep(0, 80, "Batt") + wake(30, 79, "HID", "batt"), {stretch(0, 30, 80, 79)}},
        {"the opening line's source", sleep(0, 80, "AC") + wake(30, 81), {stretch(0, 30, 80, 81, false)}},
        {"any other source", sleep(0, 80) + wake(30, 81, "HID", "UPS"), {stretch(0, 30, 80, 81, false)}},
        {"earlier sources", wake(0, 80, "HID", "AC") + sleep(5, 80) + wake(35, 79), {stretch(5, 35, 80, 79)}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseSleepLog(c.log), c.expected) << c.rule;
}

// Each line as the sleep line of a stretch that a wake at 23:00 (UTC+1) ends: every line
// that is read starts it at 22:00 (UTC+1) with its charge; a line that is not read, none.
TEST(ParseSleepLog, ReadsEveryFormOfTheLineAndSkipsTheRest) {
    for (const auto& [text, charge] : std::vector<std::pair<std::string, int>>{
             {"2026-12-08 22:00:00 +0100 Sleep               \tEntering Sleep state due to 'Clamshell Sleep':"
              "TCPKeepAlive=active Using Batt (Charge:73%) 3600 secs",
              73},
             {"2026-12-08 22:00:00 +0100 Sleep                 Entering Sleep state Using AC (Charge:73%)", 73},
             // The form the syslog query prints: offset without a space, with or without a colon.
             {"2026-12-08 22:00:00+01:00 Sleep Entering Sleep state Using BATT (Charge: 73%)", 73},
             {"2026-12-08 21:00:00+0000 Sleep Entering Sleep state Using BATT(Charge:73%)", 73},
             {"2026-12-08 16:00:00 -05 Sleep Entering Sleep state Using BATT (Charge:73%)", 73},
             {"2026-12-08 23:30:00 +0230 Sleep Entering Sleep state Using BATT (Charge:73%)", 73},
             {"2026-12-07 46:00:00 +0100 Sleep x Using BATT (Charge:73%)", 73},  // fields roll over
             {"2026-12-08 22:00:00 +0100 Sleep  Using BATT (Charge:5%)", 5},     // an empty message
             // Unicode spaces and letters count as the expression's \s and \w.
             {"2026-12-08 22:00:00 +0100 Sleep\u00a0Entering Using BATT (Charge:73%)", 73},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Using Bätt (Charge:73%)", 73},
             // The last "Using … (Charge:…)" that fits is the one read.
             {"2026-12-08 22:00:00 +0100 Sleep a Using AC (Charge:9%) b Using BATT (Charge:73%) 45 secs", 73},
             {"2026-12-08 22:00:00 +0100 Sleep a Using BATT (Charge:73%) b Using AC (Charge:x%)", 73},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Sleep state Using BATT (Charge:%)", 0},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Sleep state Using BATT (Charge:100%)", 100},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Sleep state Using BATT (Charge:101%)", 0},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Sleep state Using BATT (Charge:9000%)", 0},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Sleep state Using BATT (Charge:99999999999999999999%)", 0},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Sleep state Using BATT (Charge:٧٣%)", 0},
             {"2026-12-08 22:00:00 +0100 Sleeping Entering Sleep state Using BATT (Charge:73%)", 0},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Sleep state:Using BATT (Charge:73%)", 0},
             {"2026-12-08 22:00:00 +0100 Sleep Entering Sleep state Using  (Charge:73%)", 0},
             {"2026-12-08 22:00:00 Sleep Entering Sleep state Using BATT (Charge:73%)", 0},
             {"2026-12-08 22:00:00 +0100 Sleep Entering\rSleep state Using BATT (Charge:73%)", 0},
         }) {
        auto stretches = parseSleepLog(text + "\n2026-12-08 23:00:00 +0100 Wake \tWake Using BATT (Charge:70%)\n");
        for (auto& stretch : stretches)
            stretch.onBattery = true;  // the sources have a test of their own
        const std::vector<SleepStretch> expected{stretch(0, 60, charge, 70)};
        EXPECT_EQ(stretches, charge ? expected : std::vector<SleepStretch>{}) << text;
    }
}

TEST(ParseSleepLog, ReadsARealLogWithItsHeaderRestartsAndOlderForms) {
    const std::vector<SleepStretch> expected{
        {*utc.date(2026, 11, 30, 22), at(1, 6, 0), 80, 75, true, 1, {{"notifications", 1}}},
        {at(1, 11, 0), at(1, 11, 30), 95, 97, false, 0, {}},
        {at(1, 17, 0), at(1, 17, 15), 70, 70, true, 0, {}},
        {at(2, 0, 0), at(2, 5, 0), 66, 63, true, 1, {{"other", 1}}},
    };
    EXPECT_EQ(parseSleepLog(testing::fixture("pmset/log-variants.txt")), expected);
}

// Read as it comes, cut anywhere and not yet decoded, the log gives what its decoded whole gives.
TEST(SleepLogReader, PiecesOfUndecodedBytesGiveTheStretchesOfTheDecodedText) {
    const std::string logs[] = {
        testing::fixture("pmset/log-variants.txt"),
        // Invalid bytes in a counted line, one cut before its line feed, and a last line
        // without one.
        sleep(0, 80) + line(20, "DarkWake", "due to \xFF\xFEwifibt", 80) +
            line(21, "Sleep", "Maintenance Sleep \xE2", 80) + "\xC3\n" + line(30, "Wake", "due to \xE2\x82", 78) +
            "powerd process is started \xF0\x9F\n" + sleep(40, 77) + wake(90, 76).substr(0, wake(90, 76).size() - 1),
    };
    for (const auto& log : logs) {
        const auto whole = parseSleepLog(decodeUtf8Lossy(log));
        ASSERT_FALSE(whole.empty());
        for (const std::size_t piece : {1, 2, 7, 4096}) {
            SleepLogReader reader;
            for (std::size_t at = 0; at < log.size(); at += piece) reader.add(std::string_view(log).substr(at, piece));
            EXPECT_EQ(reader.finish(), whole) << piece;
        }
    }
}

TEST(WakeReason, DecidesByWholeWordsInRuleOrder) {
    for (const auto& [raw, label] : std::vector<std::pair<std::string, std::string>>{
             {"USB-C_plug", "USB-C connection"},
             {"HID USB-C_plug wifibt", "USB-C connection"},  // rules in order
             {"SMC.OutboxNotEmpty smc.70070000 wifibt/", "Wi-Fi or Bluetooth"},
             {"rtc/Maintenance", "scheduled maintenance"},
             {"rtc SleepService", "scheduled maintenance"},
             {"rtc/lid", "lid or keyboard"},  // rtc alone falls through
             {"rtc", "other"},
             {"EC.LidOpen/lid", "lid or keyboard"},
             {"HID Activity", "lid or keyboard"},
             {"EC.LidOpen/Lid Open", "other"},  // a word that only contains lid does not count
             {"NUB.SPMI0.SW3 SMC.OutboxNotEmpty/ Notification", "notifications"},
             {"notification", "other"},
             {" // ", "other"},
         }) {
        EXPECT_EQ(wakeReason(raw), label) << raw;
    }
}

TEST(SleepStretch, LossPerHourOverWholeMinutes) {
    const Date start{1'000'000};
    EXPECT_EQ((SleepStretch{start, start + 7259, 80, 74, true, 0, {}}).perHour(), 3.0);  // 120 whole minutes
    EXPECT_EQ((SleepStretch{start, start + 59, 80, 74, true, 0, {}}).perHour(), 0.0);
    EXPECT_EQ((SleepStretch{start, start + 7200, 70, 74, true, 0, {}}).perHour(), 0.0);  // charged meanwhile
    EXPECT_EQ((SleepStretch{start, Date{1e300}, 80, 74, true, 0, {}}).minutes(), 0);     // no overflow
}

TEST(SleepSummary, WordsLossesAndManyWakes) {
    struct Case {
        SleepStretch stretch;
        std::optional<Headline> expected;
    };
    for (const Case& c : {
             Case{stretch(0, 480, 80, 79, true, 19), std::nullopt},
             Case{stretch(0, 480, 80, 79, true, 20, {{"scheduled maintenance", 11}, {"other", 9}}),
                  Headline{"Woke 20 times in 8h 00m asleep", "Mostly scheduled maintenance · lost 1%"}},
             Case{stretch(0, 45, 80, 81, true, 20, {{"notifications", 10}, {"other", 10}}),
                  Headline{"Woke 20 times in 45m asleep", "lost 0%"}},
             Case{stretch(0, 300, 80, 75, true, 0),
                  Headline{"Lost 5% in 5h 00m asleep", "Did not wake in between · 1.0% an hour"}},
             Case{stretch(0, 400, 80, 78, true, 1, {{"notifications", 1}}),
                  Headline{"Lost 2% in 6h 40m asleep", "Woke once · 0.3% an hour"}},
             Case{stretch(0, 480, 90, 80, true, 3, {{"notifications", 2}, {"other", 1}}),
                  Headline{"Lost 10% in 8h 00m asleep", "Woke 3 times, mostly notifications · 1.2% an hour"}},
             Case{stretch(0, 480, 90, 80, true, 3, {{"notifications", 1}, {"lid or keyboard", 1}, {"other", 1}}),
                  Headline{"Lost 10% in 8h 00m asleep", "Woke 3 times · 1.2% an hour"}},
             Case{stretch(0, 480, 90, 80, false, 3, {}), std::nullopt},
         }) {
        EXPECT_EQ(sleepSummary(c.stretch), c.expected) << c.stretch.wakes << " wakes";
    }
    // Absurd charges from a damaged log do not overflow.
    const auto extreme = sleepSummary(stretch(0, 60, INT64_MAX, INT64_MIN));
    ASSERT_TRUE(extreme);
    EXPECT_EQ(extreme->title, "Lost " + std::to_string(INT64_MAX) + "% in 1h 00m asleep");
}

// The log comes through the machine's commands: syslog first, pmset when syslog says nothing.
class ReadSleepLog : public ::testing::Test {
protected:
    TempMachine temp;
    SystemProcessRunner runner{temp.machine()};

    // Puts a shell script in place of a simulated command.
    void script(std::string_view command, std::string_view body) {
        const Path path = temp.root() / Path(command);
        std::filesystem::remove(path);
        temp.write(command, "#!/bin/sh\n" + std::string(body) + "\n");
        ::chmod(path.c_str(), 0755);
    }
};

TEST_F(ReadSleepLog, AsksSyslogWithTheTemplateAndFallsBackToPmsetOnlyWhenItPrintsNothing) {
    script("usr/bin/syslog", "for a in \"$@\"; do printf '%s|' \"$a\"; done");
    EXPECT_EQ(readSleepLog(runner),
              "-d|/var/log/powermanagement|-F|$((Time)(JZ)) $(com.apple.iokit.domain) $Message Using $(powersource) "
              "(Charge:$(batterypercentage)%)|-k|com.apple.iokit.domain|Sleep|-o|-k|com.apple.iokit.domain|Wake|-o|"
              "-k|com.apple.iokit.domain|DarkWake|-o|-k|com.apple.iokit.domain|Start|");

    std::filesystem::remove(temp.root() / "usr/bin/syslog");
    temp.machine().installCommands();  // the simulated one again
    temp.write("pmset/log.txt", sleep(0, 80) + wake(30, 78));
    // Today's Macs have no power records in syslog.
    EXPECT_EQ(parseSleepLog(readSleepLog(runner)).size(), 1u);
    EXPECT_EQ(readSleepStretches(runner), parseSleepLog(readSleepLog(runner)));
    // A store syslog cannot read makes it fail without output: pmset answers.
    temp.write("syslog/powermanagement.json", "{not json");
    EXPECT_EQ(parseSleepLog(readSleepLog(runner)).size(), 1u);
    EXPECT_EQ(readSleepStretches(runner).size(), 1u);
    // Whatever syslog prints is used, even a line that reads as nothing.
    script("usr/bin/syslog", "echo ' '; exit 3");
    EXPECT_EQ(readSleepLog(runner), " \n");
    EXPECT_TRUE(readSleepStretches(runner).empty());
    // Neither command there: nothing.
    std::filesystem::remove(temp.root() / "usr/bin/syslog");
    std::filesystem::remove(temp.root() / "usr/bin/pmset");
    EXPECT_EQ(readSleepLog(runner), "");
}

TEST_F(ReadSleepLog, SyslogPrintsTheMatchingRecordsThroughTheTemplate) {
    ::setenv("TZ", "Europe/Berlin", 1);
    temp.write("syslog/powermanagement.json", R"json([
      {"Time": 1796770800, "com.apple.iokit.domain": "Sleep", "Message": "Entering Sleep state", "powersource": "Batt",
       "batterypercentage": 81},
      {"Time": "1796772600", "com.apple.iokit.domain": "Assertions", "Message": "PID 1 Created"},
      {"Time": 1796799600.5, "com.apple.iokit.domain": "Wake", "Message": "Wake due to HID", "powersource": "AC",
       "batterypercentage": 78},
      {"Time": 1796800000, "com.apple.iokit.domain": "Start", "Message": "powerd process is started"}
    ])json");
    const std::string text = readSleepLog(runner);
    ::unsetenv("TZ");
    EXPECT_EQ(text,
              "2026-12-09 00:00:00+0100 Sleep Entering Sleep state Using Batt (Charge:81%)\n"
              "2026-12-09 08:00:00+0100 Wake Wake due to HID Using AC (Charge:78%)\n"
              "2026-12-09 08:06:40+0100 Start powerd process is started Using  (Charge:%)\n");
    EXPECT_EQ(parseSleepLog(text),
              (std::vector<SleepStretch>{{Date{1796770800}, Date{1796799600}, 81, 78, false, 0, {}}}));

    // Groups: every condition of one group, any group; a key alone must exist.
    temp.write("syslog/powermanagement.json", R"([{"a": "1", "b": "x"}, {"a": "2", "b": "y"}, {"a": "3"}])");
    const auto out = runner.run("/usr/bin/syslog", {"-d", "/var/log/powermanagement", "-F", "$a$(b)$", "-k", "b", "-k",
                                                    "a", "2", "-o", "-k", "a", "3"});
    EXPECT_EQ(out.output, "2y$\n3$\n");
}

TEST_F(ReadSleepLog, TheSimulatedCommandsRefuseOtherUsage) {
    for (const auto& [command, arguments] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"/usr/bin/pmset", {"-g", "log", "x"}},
             {"/usr/bin/pmset", {}},
             {"/usr/bin/pmset", {"-g", "battlimit", "x"}},
             {"/usr/bin/pmset", {"-g", "nothing"}},
             {"/usr/bin/pmset", {"battlimit"}},
             {"/usr/bin/syslog", {"-F", "$Message"}},
             {"/usr/bin/syslog", {"-d", "/var/log/powermanagement", "-F", "$((Time)(ISO8601))"}},
             {"/usr/bin/syslog", {"-d", "/var/log/powermanagement", "-F", "$k", "-k", "k", "Nle", "v"}},
         }) {
        const auto out = runner.run(command, arguments, ErrorOutput::merge);
        EXPECT_EQ(out.exitCode, 1) << command;
        EXPECT_TRUE(out.output.starts_with(Path(command).filename().string() + ": this machine answers only"))
            << out.output;
    }
}

// The template's log is written relative to now: its nights are always the last ones.
TEST(TemplateMachine, ItsPowerLogHoldsRecentNightsOfSleepInLocalTime) {
    TempMachine temp;
    std::filesystem::copy(Machine::templateFolder() / "pmset", temp.root() / "pmset");
    ::setenv("TZ", "Asia/Kolkata", 1);
    const std::string text = readSleepLog(SystemProcessRunner(temp.machine()));
    ::unsetenv("TZ");
    EXPECT_NE(text.find(" +0530 Sleep               \tEntering"), std::string::npos);
    const Date now = Date::now();
    std::vector<Headline> summaries;
    for (const auto& stretch : parseSleepLog(text)) {
        EXPECT_LT(now - stretch.start, 4 * 86'400.0);
        if (const auto summary = sleepSummary(stretch)) summaries.push_back(*summary);
    }
    EXPECT_EQ(summaries, (std::vector<Headline>{
                             {"Lost 3% in 8h 00m asleep", "Woke 2 times · 0.4% an hour"},
                             {"Lost 5% in 7h 30m asleep", "Woke 3 times, mostly notifications · 0.7% an hour"},
                             {"Woke 22 times in 8h 00m asleep", "Mostly scheduled maintenance · lost 1%"},
                         }));
}

}  // namespace
}  // namespace norvane
