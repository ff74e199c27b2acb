#include "platform/ProcessKernel.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "platform/ChildProcess.h"
#include "tests/support/OwnWorld.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

TEST(ProcStat, ReadsTheFieldsAfterTheLastParenthesis) {
    const std::string tail = " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21\n";
    const auto stat = parseProcStat("42 (a) (b c)) S" + tail);
    ASSERT_TRUE(stat);
    EXPECT_EQ(stat->name, "a) (b c)");
    EXPECT_EQ(stat->state, 'S');
    EXPECT_EQ(stat->parent, 1);
    EXPECT_EQ(stat->user, 11u);
    EXPECT_EQ(stat->system, 12u);
    EXPECT_EQ(stat->threads, 17);
    EXPECT_EQ(stat->start, 19u);
    EXPECT_FALSE(stat->kernelThread);
    EXPECT_TRUE(parseProcStat("2 (kthreadd) S 0 0 0 0 -1 2129984 0 0 0 0 0 0 0 0 20 0 1 0 1\n")->kernelThread);
    for (const std::string& bad : std::vector<std::string>{"", "42 a S" + tail, "42 (a) S 1 2 3", "42 (a) S x" + tail.substr(2),
                                  "42 (a) S 1 2 3 4 5 6 7 8 9 10 -1 12 13 14 15 16 17 18 19\n"})
        EXPECT_FALSE(parseProcStat(bad)) << bad;
}

TEST(ProcessKernel, OneLookGivesNameParentAndTicksAndKernelThreadsAreNone) {
    const auto& kernel = systemProcessKernel();
    const auto own = kernel.record(::getpid());
    ASSERT_TRUE(own);
    EXPECT_EQ(own->info.parent, ::getppid());
    EXPECT_EQ(own->info.name, kernel.info(::getpid())->name);
    EXPECT_TRUE(own->ticks);
    // Where this machine shows the kernel's threads (pid 2 is their parent): none, also once
    // known, before and after a listing.
    if (const auto kthreadd = readProcStat(2); kthreadd && kthreadd->kernelThread) {
        EXPECT_FALSE(kernel.record(2));
        EXPECT_FALSE(kernel.info(2));
        std::vector<std::int32_t> pids(static_cast<std::size_t>(kernel.processCount()) + 64);
        EXPECT_GT(kernel.listProcessIds(pids), 0);
        EXPECT_FALSE(kernel.record(2));
    }
    EXPECT_TRUE(kernel.record(::getpid()));
    EXPECT_FALSE(kernel.record(0));
}

TEST(ProcessExists, OnlyNoSuchProcessMeansGone) {
    EXPECT_TRUE(processExists(::getpid()));
    for (std::int32_t groupOrAll : {0, -1, -::getpgrp()}) EXPECT_FALSE(processExists(groupOrAll));

    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    EXPECT_FALSE(processExists(ended));

    // Another user's process that we may not signal still exists.
    if (const auto why = ::getuid() == 0 ? testing::cannotBecomeNobody() : std::nullopt) GTEST_SKIP() << *why;
    const pid_t probe = ::fork();
    if (probe == 0) {
        if (::getuid() == 0 && ::setuid(65534) != 0) ::_exit(2);
        ::_exit(processExists(1) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(probe, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(WaitForProcessEnd, ReturnsWhenItEndsOrTheLimitComes) {
    testing::TempMachine temp;
    auto child = ChildProcess::start(temp.machine(), "/bin/sh", {"-c", "exec sleep 30"});
    ASSERT_TRUE(child);
    EXPECT_FALSE(waitForProcessEnd(child->pid(), 0.1));
    ::kill(child->pid(), SIGKILL);
    // Ended but not yet reaped counts as ended.
    EXPECT_TRUE(waitForProcessEnd(child->pid(), 10));
    EXPECT_TRUE(processExists(child->pid()));
    EXPECT_TRUE(child->wait(0));
    EXPECT_TRUE(waitForProcessEnd(child->pid()));
    EXPECT_TRUE(waitForProcessEnd(0));
}

}  // namespace
}  // namespace norvane
