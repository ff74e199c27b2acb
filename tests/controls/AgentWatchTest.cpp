#include "app/controls/AgentWatch.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

AgentTree codex(double own, double cpu, std::int64_t processes = 1) { return {42, "Codex", own, cpu, processes}; }

TEST(AgentWatch, TellsWorkingAgentsFromIdleOnes) {
    struct Step {
        double at;  // seconds after the start
        std::vector<AgentTree> trees;
        std::vector<std::string> working;
    };
    struct Scenario {
        const char* what;
        std::vector<Step> steps;
    };
    const std::vector<std::string> none, working{"Codex"};
    const std::vector<Scenario> scenarios = {
        {"a new process is only remembered", {{0, {codex(50, 50)}, none}}},
        {"a change in process count is work at once",
         {{0, {codex(0, 0, 3)}, none}, {1, {codex(0, 0, 4)}, working}}},
        {"CPU under 4 seconds waits; the next tick measures from the stored sample",
         {{0, {codex(0, 0)}, none}, {3, {codex(3, 3)}, none}, {4.5, {codex(3, 3)}, working}}},
        {"an own rate of exactly 0.01 is work", {{0, {codex(0, 0)}, none}, {4, {codex(0.04, 0.04)}, working}}},
        {"own 0.009 and descendants 0.049 are not", {{0, {codex(0, 0)}, none}, {10, {codex(0.09, 0.58)}, none}}},
        {"descendants at 0.05 are work", {{0, {codex(0, 0)}, none}, {10, {codex(0, 0.5)}, working}}},
        {"working for 300 seconds after the last work",
         {{0, {codex(0, 0, 1)}, none},
          {1, {codex(0, 0, 2)}, working},
          {300, {codex(0, 0, 2)}, working},
          {301, {codex(0, 0, 2)}, none}}},
        {"an agent whose processes are gone stops at once",
         {{0, {codex(0, 0, 1)}, none}, {1, {codex(0, 0, 2)}, working}, {2, {}, none}, {3, {codex(0, 0, 2)}, none}}},
        {"a clock set back measures afresh",
         {{0, {codex(0, 0)}, none}, {-3600, {codex(0, 0)}, none}, {-3595, {codex(1, 1)}, working}}},
    };
    const Date start{1'780'000'000};
    for (const auto& scenario : scenarios) {
        AgentWatch watch;
        for (const auto& step : scenario.steps) {
            watch.update(step.trees, start + step.at);
            EXPECT_EQ(watch.working(start + step.at), step.working) << scenario.what << " at " << step.at;
        }
    }
}

TEST(AgentWatch, ForgetsProcessesAndNamesThatAreGone) {
    AgentWatch watch;
    const Date t{1000};
    watch.update({codex(0, 0, 1), {7, "Grok", 0, 0, 1}}, t);
    watch.update({codex(0, 0, 2), {7, "Grok", 0, 0, 2}}, t + 1);
    watch.update({codex(0, 0, 2)}, t + 2);
    EXPECT_EQ(watch.seen.size(), 1u);
    EXPECT_EQ(watch.working(t + 2), std::vector<std::string>{"Codex"});
}

}  // namespace
}  // namespace norvane
