#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/Process.h"
#include "platform/ProcessKernel.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

class ProcessTest : public ::testing::Test {
protected:
    TempMachine temp;
    SystemProcessRunner runner{temp.machine()};

    // A script at the given system path of the machine folder; gives that path.
    std::string script(const std::string& macPath, const std::string& body) {
        const Path file = temp.write(macPath.substr(1), "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
        return macPath;
    }
    static bool reapedByUs(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD; }
};

TEST_F(ProcessTest, OnlySystemPathsRunInsideTheMachineFolder) {
    script("/usr/bin/pmset", R"(echo "args:$#:$1:$2"; echo "machine:$NORVANE_MACHINE")");
    const auto out = runner.run("/usr/bin/pmset", {"-g", "two words"});
    ASSERT_TRUE(out.started) << out.error;
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.output, "args:2:-g:two words\nmachine:" + temp.root().string() + "\n");
    // Other paths are used as they are.
    script("/own/tool", "echo own");
    EXPECT_EQ(runner.run((temp.root() / "own/tool").string(), {}).output, "own\n");
}

TEST_F(ProcessTest, ReportsExitCodesAndSignals) {
    script("/usr/bin/fails", "echo partial; exit 3");
    auto out = runner.run("/usr/bin/fails", {});
    EXPECT_TRUE(out.started);
    EXPECT_EQ(out.exitCode, 3);
    EXPECT_FALSE(out.succeeded());
    EXPECT_EQ(out.output, "partial\n");

    script("/usr/bin/killed", "kill -9 $$");
    out = runner.run("/usr/bin/killed", {});
    EXPECT_TRUE(out.started);
    EXPECT_FALSE(out.exitCode);
    EXPECT_EQ(out.signal, 9);
}

TEST_F(ProcessTest, StandardErrorGoesWhereAskedAndStandardInputIsEmpty) {
    script("/usr/bin/noisy", "echo out; echo err >&2");
    EXPECT_EQ(runner.run("/usr/bin/noisy", {}, ErrorOutput::discard).output, "out\n");
    EXPECT_EQ(runner.run("/usr/bin/noisy", {}, ErrorOutput::merge).output, "out\nerr\n");
    EXPECT_EQ(runner.run("/usr/bin/noisy", {}, ErrorOutput::inherit).output, "out\n");
    // Standard input is empty.
    script("/usr/bin/reader", "cat; echo done");
    EXPECT_EQ(runner.run("/usr/bin/reader", {}).output, "done\n");
}

TEST_F(ProcessTest, ReadsLargeOutputToTheEndBeforeWaiting) {
    // Far more than a pipe holds: a runner that waited first would hang here.
    script("/usr/bin/big",
           "i=0; while [ $i -lt 20000 ]; do echo 0123456789012345678901234567890123456789; i=$((i+1)); done");
    const auto out = runner.run("/usr/bin/big", {});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.output.size(), 20000u * 41u);
    // Streamed, the same bytes come in pieces and the result holds none.
    std::string pieces;
    int count = 0;
    const auto streamed = runner.stream("/usr/bin/big", {}, [&](std::string_view piece) {
        pieces.append(piece);
        ++count;
    });
    EXPECT_EQ(streamed.exitCode, 0);
    EXPECT_TRUE(streamed.output.empty());
    EXPECT_EQ(pieces, out.output);
    EXPECT_GT(count, 1);
}

TEST_F(ProcessTest, MissingOrUnrunnableProgramsCouldNotStart) {
    temp.write("usr/bin/plain", "not executable");
    for (const char* program : {"/usr/bin/absent", "/usr/bin/plain"}) {
        SCOPED_TRACE(program);
        const auto out = runner.run(program, {});
        EXPECT_FALSE(out.started);
        EXPECT_NE(out.error.find("could not start"), std::string::npos);
        EXPECT_FALSE(out.exitCode);
        EXPECT_FALSE(ChildProcess::start(temp.machine(), program, {}));
        EXPECT_FALSE(ChildProcess::startDetached(temp.machine(), program, {}));
    }
}

TEST_F(ProcessTest, RunsBesideUsAndIsReapedWithItsStatusOrWhenItGoes) {
    auto child = ChildProcess::start(temp.machine(), script("/usr/bin/three", "read line; exit 3"), {});
    ASSERT_TRUE(child);
    // Standard input is the null device, so `read` ends at once.
    ASSERT_TRUE(child->wait(10));
    EXPECT_FALSE(child->running());
    EXPECT_EQ(child->exitCode(), 3);
    EXPECT_TRUE(reapedByUs(child->pid()));

    // Destruction reaps too, and moving hands the process over.
    pid_t pid = -1;
    {
        auto sleeper = ChildProcess::start(temp.machine(), script("/usr/bin/sleeper", "exec sleep 30"), {});
        ASSERT_TRUE(sleeper);
        ChildProcess moved = std::move(*sleeper);
        pid = moved.pid();
        EXPECT_TRUE(moved.running());
    }
    EXPECT_FALSE(processExists(pid));
    EXPECT_TRUE(reapedByUs(pid));
}

TEST_F(ProcessTest, TerminateEndsAndReapsEvenWhatIgnoresTheRequest) {
    // We ignore SIGTERM ourselves: the child must not inherit that.
    const auto previous = ::signal(SIGTERM, SIG_IGN);
    auto polite = ChildProcess::start(temp.machine(), script("/usr/bin/sleeper", "exec sleep 30"), {});
    ::signal(SIGTERM, previous);
    ASSERT_TRUE(polite);
    EXPECT_TRUE(polite->running());
    polite->terminate();
    EXPECT_EQ(polite->signal(), SIGTERM);
    EXPECT_TRUE(reapedByUs(polite->pid()));

    auto stubborn = ChildProcess::start(temp.machine(), script("/usr/bin/stubborn", "trap '' TERM; exec sleep 30"), {});
    ASSERT_TRUE(stubborn);
    ASSERT_FALSE(stubborn->wait(0.2));
    stubborn->terminate();
    EXPECT_EQ(stubborn->signal(), SIGKILL);
    EXPECT_TRUE(reapedByUs(stubborn->pid()));
}

TEST_F(ProcessTest, DetachedChildrenLiveInTheirOwnSessionAndAreNotOurs) {
    const Path out = temp.root() / "started";
    const auto pid = ChildProcess::startDetached(
        temp.machine(), script("/usr/bin/daemon", "echo $$ > \"$1\"; exec sleep 30"), {out.string()});
    ASSERT_TRUE(pid);
    EXPECT_TRUE(processExists(*pid));
    EXPECT_NE(::getsid(*pid), ::getsid(0));
    EXPECT_TRUE(reapedByUs(*pid));
    for (int i = 0; i < 1000 && readFile(out).value_or("").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(readFile(out), std::to_string(*pid) + "\n");
    ::kill(*pid, SIGKILL);
    EXPECT_TRUE(waitForProcessEnd(*pid, 10));
}

}  // namespace
}  // namespace norvane
