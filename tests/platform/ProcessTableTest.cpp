#include "platform/ProcessTable.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/ChildProcess.h"
#include "platform/Hardening.h"
#include "platform/ProcessKernel.h"
#include "platform/Text.h"
#include "tests/support/OwnWorld.h"
#include "tests/support/TempMachine.h"

extern char** environ;

namespace norvane {
namespace {

using testing::TempFolder;
using testing::TempMachine;

namespace fs = std::filesystem;

// A child running a copy of `sleep` under the given name; killed and reaped at the end.
class Sleeper {
public:
    explicit Sleeper(const Path& copy) {
        fs::copy_file("/bin/sleep", copy);
        fs::permissions(copy, fs::perms::owner_all);
        std::string name = copy.string(), seconds = "30";
        char* argv[] = {name.data(), seconds.data(), nullptr};
        if (::posix_spawn(&pid_, copy.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    }
    ~Sleeper() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

TEST(ProcessPath, IsTheExecutableTheKernelReportsRepairedAndNothingForUnknownPids) {
    EXPECT_EQ(processPath(static_cast<std::int32_t>(::getpid())), fs::read_symlink("/proc/self/exe").string());
    // INT32_MAX is above any pid the kernel hands out.
    for (const std::int32_t pid : {0, -1, INT32_MIN, INT32_MAX})
        EXPECT_EQ(processPath(pid), "") << pid;
    TempFolder dir;
    const Path copy = dir / "sle\xFFp";
    Sleeper sleeper(copy);
    ASSERT_GT(sleeper.pid(), 0);
    const std::string shown = (dir.path() / "sle\xEF\xBF\xBDp").string();
    EXPECT_EQ(processPath(sleeper.pid()), shown);
    fs::remove(copy);
    EXPECT_EQ(processPath(sleeper.pid()), shown + " (deleted)");
}

// A hardened process never dumps core, and forbids its user's debugger only where its peer, of
// the same credentials, can still look at it: with CAP_SYS_PTRACE, not as an ordinary user.
TEST(Hardening, NoCoreDumpAndNoDebuggerOnlyWhereThePeerCanStillLook) {
    for (const bool ordinary : {false, true}) {
        if (ordinary && ::geteuid() != 0) continue;  // already ordinary: the first round was
        if (const auto why = ordinary ? testing::cannotBecomeNobody() : std::nullopt) GTEST_SKIP() << *why;
        const pid_t child = ::fork();
        if (child == 0) {
            // Changing user leaves a process non-dumpable until it executes a program.
            if (ordinary && (::setgid(65534) != 0 || ::setuid(65534) != 0 || ::prctl(PR_SET_DUMPABLE, 1) != 0))
                ::_exit(2);
            const bool expected = holdsPtraceCapability();  // never as nobody
            const bool hidden = hardenProcess();
            rlimit core {};
            const bool noCore = ::getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_cur == 0 && core.rlim_max == 0;
            ::_exit(noCore && hidden == expected && ::prctl(PR_GET_DUMPABLE) == (expected ? 0 : 1) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << (ordinary ? "as nobody" : "as we are");
    }
}

TEST(MachineProcesses, ReadsTheListAndRefusesAnythingElse) {
    const auto processes = parseMachineProcesses(R"json([
      {"pid": 0, "command": "kernel_task", "path": "", "power": 6.5},
      {"pid": 2234, "command": "Code Helper (Renderer)", "path": "/Applications/A.app/Contents/MacOS/a", "power": 3},
      {"pid": 9, "command": "idle"}
    ])json");
    const std::vector<MachineProcess> expected{
        {0, "kernel_task", "", 6.5},
        {2234, "Code Helper (Renderer)", "/Applications/A.app/Contents/MacOS/a", 3.0},
        {9, "idle", "", 0.0}};
    EXPECT_EQ(processes, expected);
    EXPECT_EQ(parseMachineProcesses("[]"), std::vector<MachineProcess>{});

    for (const char* bad : {
             "",
             "{}",
             "[1]",
             R"([{"command": "a"}])",
             R"([{"pid": 1}])",
             R"([{"pid": 1.5, "command": "a"}])",
             R"([{"pid": 4294967296, "command": "a"}])",
             R"([{"pid": 1, "command": 2}])",
             R"([{"pid": 1, "command": "a", "path": 3}])",
             R"([{"pid": 1, "command": "a", "power": "3"}])",
             R"([{"pid": 1, "command": "a", "power": 1e999}])",
         })
        EXPECT_FALSE(parseMachineProcesses(bad)) << bad;
}

TEST(MachineProcessPath, ListedPidsFirstThenTheRealProcess) {
    TempMachine temp;
    const auto self = static_cast<std::int32_t>(::getpid());
    TempFolder dir;
    Sleeper unlisted(dir / "sleeper");
    ASSERT_GT(unlisted.pid(), 0);
    // No list: the real process table.
    EXPECT_EQ(machineProcessPath(temp.machine(), self), processPath(self));

    temp.write("top/processes.json",
               "[{\"pid\": 0, \"command\": \"kernel_task\", \"path\": \"\"}, {\"pid\": " + std::to_string(self) +
                   ", \"command\": \"claude\", \"path\": \"/Users/me/.local/bin/claude\"}]");
    EXPECT_EQ(machineProcessPath(temp.machine(), self), "/Users/me/.local/bin/claude");
    EXPECT_EQ(machineProcessPath(temp.machine(), 0), "");
    EXPECT_EQ(machineProcessPath(temp.machine(), unlisted.pid()), (dir / "sleeper").string());

    temp.write("top/processes.json", "not json");
    EXPECT_EQ(machineProcessPath(temp.machine(), self), processPath(self));
}

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
    for (const std::string& bad :
         std::vector<std::string>{"", "42 a S" + tail, "42 (a) S 1 2 3", "42 (a) S x" + tail.substr(2),
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
    for (std::int32_t groupOrAll : {0, -1, -::getpgrp()})
        EXPECT_FALSE(processExists(groupOrAll));

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
