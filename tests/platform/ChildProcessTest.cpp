#include "platform/ChildProcess.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/ProcessKernel.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

class ChildProcessTest : public ::testing::Test {
protected:
    TempMachine temp;

    std::string script(const std::string& name, const std::string& body) {
        const Path file = temp.write("usr/bin/" + name, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
        return "/usr/bin/" + name;
    }
    static bool reapedByUs(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD; }
};

TEST_F(ChildProcessTest, RunsBesideUsAndIsReapedWithItsStatusOrWhenItGoes) {
    auto child = ChildProcess::start(temp.machine(), script("three", "read line; exit 3"), {});
    ASSERT_TRUE(child);
    // Standard input is the null device, so `read` ends at once.
    ASSERT_TRUE(child->wait(10));
    EXPECT_FALSE(child->running());
    EXPECT_EQ(child->exitCode(), 3);
    EXPECT_TRUE(reapedByUs(child->pid()));

    // Destruction reaps too, and moving hands the process over.
    pid_t pid = -1;
    {
        auto sleeper = ChildProcess::start(temp.machine(), script("sleeper", "exec sleep 30"), {});
        ASSERT_TRUE(sleeper);
        ChildProcess moved = std::move(*sleeper);
        pid = moved.pid();
        EXPECT_TRUE(moved.running());
    }
    EXPECT_FALSE(processExists(pid));
    EXPECT_TRUE(reapedByUs(pid));
}

TEST_F(ChildProcessTest, TerminateEndsAndReapsEvenWhatIgnoresTheRequest) {
    // We ignore SIGTERM ourselves: the child must not inherit that.
    const auto previous = ::signal(SIGTERM, SIG_IGN);
    auto polite = ChildProcess::start(temp.machine(), script("sleeper", "exec sleep 30"), {});
    ::signal(SIGTERM, previous);
    ASSERT_TRUE(polite);
    EXPECT_TRUE(polite->running());
    polite->terminate();
    EXPECT_EQ(polite->signal(), SIGTERM);
    EXPECT_TRUE(reapedByUs(polite->pid()));

    auto stubborn = ChildProcess::start(temp.machine(), script("stubborn", "trap '' TERM; exec sleep 30"), {});
    ASSERT_TRUE(stubborn);
    ASSERT_FALSE(stubborn->wait(0.2));
    stubborn->terminate();
    EXPECT_EQ(stubborn->signal(), SIGKILL);
    EXPECT_TRUE(reapedByUs(stubborn->pid()));
}

TEST_F(ChildProcessTest, DetachedChildrenLiveInTheirOwnSessionAndAreNotOurs) {
    const Path out = temp.root() / "started";
    const auto pid = ChildProcess::startDetached(temp.machine(), script("daemon", "echo $$ > \"$1\"; exec sleep 30"),
                                                 {out.string()});
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

TEST_F(ChildProcessTest, ProgramsThatCannotStartGiveNothing) {
    EXPECT_FALSE(ChildProcess::start(temp.machine(), "/usr/bin/absent", {}));
    EXPECT_FALSE(ChildProcess::startDetached(temp.machine(), "/usr/bin/absent", {}));
    temp.write("usr/bin/plain", "not executable");
    EXPECT_FALSE(ChildProcess::startDetached(temp.machine(), "/usr/bin/plain", {}));
}

}  // namespace
}  // namespace norvane
