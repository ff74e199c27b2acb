#include "app/onboarding/Relaunch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "app/onboarding/Onboarding.h"
#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

namespace keys = onboarding_keys;

TEST(Relaunch, OpensANewInstanceOfTheBundleWithThisProcesssArguments) {
    const FolderBundle app("/Applications/Norvane.app"), bare("/home/me/build");
    const Path executable = "/home/me/build/Norvane";
    struct Row {
        const MainBundle& bundle;
        std::vector<std::string> arguments;
        RelaunchCommand command;
    };
    for (const Row& row : std::vector<Row>{
             {app, {}, {"/usr/bin/open", {"-n", "/Applications/Norvane.app"}}},
             {app, {"--onboarding"}, {"/usr/bin/open", {"-n", "/Applications/Norvane.app", "--args", "--onboarding"}}},
             {bare, {}, {executable.string(), {}}},
             {bare, {"--onboarding", "--demo"}, {executable.string(), {"--onboarding", "--demo"}}}})
        EXPECT_EQ(relaunchCommand(row.bundle, executable, row.arguments), row.command);
}

// The app in the bench's bundle: a script that notes its arguments.
struct RelaunchBench {
    ModelBench bench;
    std::shared_ptr<System> system;
    std::string handover;  // what the running instance gave up and took back, in order
    std::optional<std::string> failure;  // what the tour is told

    explicit RelaunchBench(bool withExecutable) {
        bench.writeInfoPlist();
        if (withExecutable) {
            const Path app = bench.home.write("Norvane.app/Contents/MacOS/Norvane",
                                              "#!/bin/sh\necho \"$@\" > \"$NORVANE_MACHINE/started\"\n");
            ::chmod(app.c_str(), 0755);
        }
        system = std::make_shared<System>(bench.system({"--onboarding"}));
    }
    void relaunch(const Path& executable = {}) {
        norvane::relaunch(system, bench.queue, executable,
                          {[this] { handover += "released "; }, [this] { handover += "reclaimed"; }},
                          [this](const std::string& reason) { failure = reason; });
        EXPECT_TRUE(bench.stored().boolean(keys::resume));  // before the new instance can read it
        EXPECT_EQ(handover, "released ");                   // before the new instance can hand itself over
        bench.queue.drain();
    }
    std::string log() const { return readFile(bench.machine.root() / "log/system.log").value_or(""); }
};

TEST(Relaunch, StartsTheBundleThroughOpenThenTerminates) {
    RelaunchBench t(true);
    t.relaunch();
    EXPECT_EQ(t.bench.terminated, 1);
    EXPECT_EQ(t.handover, "released ");
    EXPECT_FALSE(t.failure);
    EXPECT_TRUE(t.bench.stored().boolean(keys::resume));
    const auto opened = t.bench.records("workspace/opened.jsonl");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(*opened[0].find("new"), Value::boolean(true));
    EXPECT_EQ(*opened[0].find("arguments"), Value::array({Value::string("--onboarding")}));
    // The new instance runs on its own; give it a moment to note its arguments.
    const Path started = t.bench.machine.root() / "started";
    for (int i = 0; i < 250 && readFile(started).value_or("").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(readFile(started), "--onboarding\n");
}

TEST(Relaunch, AnInstanceThatCannotStartLeavesTheAppRunningAndTakesTheResumeBack) {
    struct Row {
        bool bundle;
        const char* reason;
    };
    for (const Row& row : {Row{true, "cannot be opened"}, Row{false, "could not be started"}}) {
        RelaunchBench t(false);
        if (!row.bundle) t.system->bundle = std::make_shared<FolderBundle>(t.bench.home / "build");
        t.relaunch(t.bench.home / "build/Norvane");
        EXPECT_EQ(t.bench.terminated, 0) << row.reason;
        EXPECT_EQ(t.handover, "released reclaimed") << row.reason;
        EXPECT_FALSE(t.bench.stored().object(keys::resume)) << row.reason;
        EXPECT_NE(t.log().find("could not be started again, so it stays open"), std::string::npos) << t.log();
        EXPECT_NE(t.log().find(row.reason), std::string::npos) << t.log();
        ASSERT_TRUE(t.failure) << row.reason;  // the tour says so
        EXPECT_NE(t.failure->find(row.reason), std::string::npos) << *t.failure;
    }
}

}  // namespace
}  // namespace norvane
