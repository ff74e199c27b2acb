#include "helper/Helper.h"

#include <gtest/gtest.h>

#include "platform/VirtualQueue.h"

namespace norvane::daemon {
namespace {

struct FakePower final : PowerSources {
    std::string source = std::string(batteryPower);
    std::optional<Value> externalAdapterDetails() const override { return std::nullopt; }
    std::string providingSource() const override { return source; }
};

struct FakePmset final : ProcessRunner {
    ProcessOutput result;
    mutable std::vector<std::vector<std::string>> runs;
    ProcessOutput run(const std::string& path, const std::vector<std::string>& arguments, ErrorOutput errors) const override {
        EXPECT_EQ(path, "/usr/bin/pmset");
        EXPECT_EQ(errors, ErrorOutput::merge);
        runs.push_back(arguments);
        return result;
    }
};

ProcessOutput exited(int code, std::string output) {
    ProcessOutput out;
    out.started = true;
    out.exitCode = code;
    out.output = std::move(output);
    return out;
}

class HelperDaemonTest : public ::testing::Test {
protected:
    VirtualQueue queue;
    FakePower power;
    FakePmset pmset;
    std::vector<double> exits;
    bool busy = false;  // a connection is open
    Helper helper{{queue, pmset, power,
                   [this](int status) {
                       EXPECT_EQ(status, 0);
                       exits.push_back(queue.uptime());
                   },
                   idleSeconds, [this] { return busy; }}};

    std::optional<std::string> lowPower(bool on) {
        std::optional<std::string> answer = "no reply";
        helper.setLowPower(on, [&answer](std::optional<std::string> r) { answer = r; });
        queue.drain();
        return answer;
    }
    std::optional<std::string> mode(std::int64_t m) {
        std::optional<std::string> answer = "no reply";
        helper.setPowerMode(m, [&answer](std::optional<std::string> r) { answer = r; });
        queue.drain();
        return answer;
    }
};

TEST_F(HelperDaemonTest, RunsPmsetForTheSourceInUseAndRepliesItsFailure) {
    pmset.result = exited(0, "changed\n");
    EXPECT_EQ(lowPower(true), std::nullopt);
    power.source = std::string(acPower);
    EXPECT_EQ(mode(2), std::nullopt);
    power.source = "UPS Power";  // anything but the battery is the charger's settings
    EXPECT_EQ(lowPower(false), std::nullopt);
    EXPECT_EQ(pmset.runs, (std::vector<std::vector<std::string>>{
                              {"-b", "lowpowermode", "1"}, {"-c", "powermode", "2"}, {"-c", "lowpowermode", "0"}}));

    const std::vector<std::pair<ProcessOutput, std::optional<std::string>>> failures = {
        {exited(1, " \n\t\n"), ""},  // nothing said is still a failure
        {exited(2, "\n pmset: not allowed \n"), "pmset: not allowed"},
        {ProcessOutput{false, "could not start /usr/bin/pmset: No such file or directory", {}, {}, ""},
         "could not start /usr/bin/pmset: No such file or directory"},
    };
    for (const auto& [result, reply] : failures) {
        pmset.result = result;
        EXPECT_EQ(mode(1), reply);
    }
    EXPECT_EQ(helper.requests(), 6);
}

TEST_F(HelperDaemonTest, ModesOutsideZeroToTwoAreRefusedWithoutPmset) {
    for (const std::int64_t m : std::vector<std::int64_t>{3, -1, INT64_MIN})
        EXPECT_EQ(mode(m), "unknown energy mode " + std::to_string(m));
    EXPECT_TRUE(pmset.runs.empty());
    EXPECT_EQ(helper.requests(), 0);
    queue.advance(60);
    EXPECT_TRUE(exits.empty());  // no countdown started
}

// Started and never asked anything valid (a refused mode, or nothing at all), it quits all
// the same, 20 s after its start.
TEST_F(HelperDaemonTest, QuitsTwentySecondsAfterItsStartWhenNothingRanPmset) {
    const double start = queue.uptime();
    helper.start();
    queue.advance(5);
    mode(7);
    queue.advance(60);
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_NEAR(exits[0] - start, 20, 1e-9);
}

TEST_F(HelperDaemonTest, QuitsTwentySecondsAfterTheLastRequestThatRanPmset) {
    pmset.result = exited(0, "");
    const double start = queue.uptime();
    helper.start();
    lowPower(true);
    queue.advance(10);
    lowPower(false);
    queue.advance(9);
    mode(7);  // refused: neither counts nor restarts the countdown
    queue.advance(30);
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_NEAR(exits[0] - start, 30, 1e-9);
}

// A connection open when it is due to quit may carry a request (its peer being checked, say): it
// quits once none is open, looking again every second.
TEST_F(HelperDaemonTest, QuitsOnlyOnceNoConnectionIsOpen) {
    const double start = queue.uptime();
    helper.start();
    busy = true;
    queue.advance(25.5);
    EXPECT_TRUE(exits.empty());
    busy = false;
    queue.advance(30);
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_NEAR(exits[0] - start, 26, 1e-9);
}

}  // namespace
}  // namespace norvane::daemon
