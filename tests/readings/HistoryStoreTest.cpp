#include <gtest/gtest.h>

#include <cmath>

#include "app/readings/HistoryStore.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempFolder;

constexpr double day = 86'400;
const Date now{1'780'000'000};

TEST(HistoryLine, WritesWholeSecondsAndFourFieldsAndReadsThreeOrFour) {
    EXPECT_EQ(HistoryStore::line({Date{1780000000.9}, 87, false, false}), "1780000000,87,0,0\n");
    EXPECT_EQ(HistoryStore::line({Date{1780000000}, 87, false, true}), "1780000000,87,0,1\n");
    EXPECT_EQ(HistoryStore::line({Date{-1.5}, 5, true, true}), "-1,5,1,1\n");
    EXPECT_EQ(HistoryStore::parse("1780000000,87,0,1"), (Sample{Date{1780000000}, 87, false, true}));
    // Three fields predate the plugged flag: the one flag stands for both.
    EXPECT_EQ(HistoryStore::parse("100,50,1"), (Sample{Date{100}, 50, true, true}));
    EXPECT_EQ(HistoryStore::parse("100,50,0"), (Sample{Date{100}, 50, false, false}));
    EXPECT_EQ(HistoryStore::parse("100.25,50,yes,0"), (Sample{Date{100.25}, 50, false, false}));
    EXPECT_EQ(HistoryStore::parse("1.5e2,0,1,0"), (Sample{Date{150}, 0, true, false}));
    // Empty pieces are dropped, so doubled and trailing commas do not count as fields.
    EXPECT_EQ(HistoryStore::parse("100,,50,1,1,"), (Sample{Date{100}, 50, true, true}));
    for (const char* line : {"100,50,0,0,0", "100,50", "", "abc,50,0,0", "100,101,0,0", "100,-1,0,0", "100,,0",
                             "100,5.5,0,0", "100, 50,0,0", "inf,50,0,0", "nan,50,0,0", "-inf,50,0,0", "1e300,50,0,0"}) {
        EXPECT_FALSE(HistoryStore::parse(line)) << line;
    }
}

class HistoryFile : public ::testing::Test {
protected:
    TempFolder dir;
    Path url = dir / "Norvane/history.csv";

    static Sample aged(double age, int percent) { return {now - age, percent, false, false}; }
    static std::string lineAt(double age, int percent) { return HistoryStore::line(aged(age, percent)); }
};

TEST_F(HistoryFile, LoadingKeepsThirtyDaysAndRewritesOnlyWhenSomethingAgedOut) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<Sample> samples;
        std::string after;  // the file once loaded
    };
    const std::string young = lineAt(30 * day, 90) + "\n" + "garbage\n" + lineAt(60, 80) + lineAt(-60, 79);
    const std::string old = lineAt(30 * day + 1, 90) + "x,y,z\n" + "1780000000.5,81,1,1\n" + lineAt(0, 80);
    const std::string invalid = lineAt(120, 70) + "17799\xFF\xFE,5,0,0\n" + lineAt(60, 69);
    const std::vector<Case> cases{
        // Exactly 30 days old is kept, and so is the future; the file stays byte for byte.
        {"young", young, {aged(30 * day, 90), aged(60, 80), aged(-60, 79)}, young},
        {"old", old, {{Date{1780000000.5}, 81, true, true}, aged(0, 80)}, "1780000000,81,1,1\n" + lineAt(0, 80)},
        // Invalid UTF-8 hides only the line it is in.
        {"invalid UTF-8", invalid, {aged(120, 70), aged(60, 69)}, invalid},
    };
    for (const auto& c : cases) {
        dir.write("Norvane/history.csv", c.text);
        EXPECT_EQ(HistoryStore(url, now).samples, c.samples) << c.what;
        EXPECT_EQ(readFile(url), c.after) << c.what;
    }
}

TEST_F(HistoryFile, AppendingCreatesTheFolderAndStartsANewLineAfterAnInterruptedWrite) {
    HistoryStore store(url, now);
    const Sample s{now, 64, true, true};
    store.append(s);
    EXPECT_EQ(store.samples, std::vector<Sample>{s});
    EXPECT_EQ(readFile(url), "1780000000,64,1,1\n");
    store.append({now + 60, 65, true, true});
    EXPECT_EQ(readFile(url), "1780000000,64,1,1\n1780000060,65,1,1\n");
    // What was appended loads again.
    EXPECT_EQ(HistoryStore(url, now + 60).samples, store.samples);

    dir.write("Norvane/history.csv", lineAt(60, 70) + "17799");
    HistoryStore interrupted(url, now);
    interrupted.append(aged(0, 69));
    EXPECT_EQ(HistoryStore(url, now).samples, (std::vector<Sample>{aged(60, 70), aged(0, 69)}));
}

// Missing or unreadable files give an empty history; appending keeps in memory what no file takes.
TEST_F(HistoryFile, WithoutAFileToReadOrWriteTheHistoryLivesInMemory) {
    EXPECT_TRUE(HistoryStore(url, now).samples.empty());
    EXPECT_FALSE(fileExists(url));
    // Without a URL nothing touches the disk.
    HistoryStore memory(std::nullopt, now);
    EXPECT_TRUE(memory.samples.empty());
    memory.append({now, 50, false, false});
    EXPECT_EQ(memory.samples.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    // A file that appears after the load and cannot be opened for writing is never replaced
    // (one there at the load is moved aside).
    HistoryStore store(url, now);
    createDirectories(url);
    store.append({now, 50, false, false});
    EXPECT_EQ(store.samples.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(url));
    EXPECT_TRUE(HistoryStore(url, now).samples.empty());  // a folder in the file's place
}

TEST(Buckets, PlacesEachSampleInItsColumnAndKeepsTheLatest) {
    const std::vector<Sample> samples{
        {now - 10'800, 10, false, false},                                 // exactly span old: left out
        {now - 10'799, 11, false, false},                                 // oldest column
        {now - 650, 20, false, false},    {now - 601, 21, false, false},  // same 300-s column as the one before: wins
        {now, 30, false, false},                                          // newest column
        {now + 1, 40, false, false},                                      // the future is not drawn
    };
    std::vector<std::optional<Sample>> expected(36);
    expected[0] = samples[1];
    expected[33] = samples[3];
    expected[35] = samples[4];
    EXPECT_EQ(buckets(samples, now, 10'800, 36), expected);
}

TEST(Buckets, EmptyInputsOddCountsAndAgesAtTheEdge) {
    EXPECT_EQ(buckets({}, now, 86'400, 36), std::vector<std::optional<Sample>>(36));
    EXPECT_TRUE(buckets({{now, 1, false, false}}, now, 86'400, 0).empty());
    EXPECT_TRUE(buckets({{now, 1, false, false}}, now, 86'400, -3).empty());
    EXPECT_EQ(buckets({{now, 1, false, false}}, now, 0, 4), std::vector<std::optional<Sample>>(4));
    // Ages that round past the oldest column are clamped. span / count is inexact here: an age
    // just below the span divides out to exactly count.
    const Date at{1.0};
    const double age = std::nextafter(1.0, 0.0);
    const std::vector<Sample> samples{Sample{Date{at.seconds - age}, 5, false, false}};
    ASSERT_EQ(at - samples[0].time, age);
    const auto columns = buckets(samples, at, 1.0, 49);
    ASSERT_EQ(columns.size(), 49u);
    EXPECT_TRUE(columns[0].has_value());
}

}  // namespace
}  // namespace norvane
