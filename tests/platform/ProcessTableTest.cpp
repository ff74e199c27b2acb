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
#include "tests/support/Uprobe.h"

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

TEST(MappedCode, IsEveryExecutableMappingWithThePagesWrittenInIt) {
    const std::string maps =
        "55be279df000-55be279e4000 r-xp 00002000 fe:00 247134                     /usr/bin/cat\n"
        "55be279e4000-55be279e6000 r--p 00007000 fe:00 247134                     /usr/bin/cat\n"
        "7f629e3d1000-7f629e527000 r-xp 00026000 fe:00 332835  /tmp/A b.app/lib x.so (deleted)\n"
        "7f629e5a0000-7f629e5a2000 r-xp 00000000 00:00 0                          [vdso]\n"
        "7f629e5b0000-7f629e5b2000 rwxp 00000000 00:00 0\n"
        "7f629e5b2000-7f629e5b0000 r-xp 00000000 00:00 0                          [backwards]\n"
        "ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0                  [vsyscall]\n"
        "cut short r-xp";
    EXPECT_EQ(parseMappedCode(maps), (std::vector<MappedCode>{{"/usr/bin/cat", 247134, 0},
                                                              {"/tmp/A b.app/lib x.so (deleted)", 332835, 0},
                                                              {"[vdso]", 0, 0},
                                                              {"", 0, 0},
                                                              {"[vsyscall]", 0, 0}}));
    // A page-map entry: bit 63 present, 62 swapped out, 61 a page of a file.
    const std::uint64_t present = 1ull << 63, swapped = 1ull << 62, file = 1ull << 61;
    for (const auto& [entry, written] : std::vector<std::pair<std::uint64_t, bool>>{
             {0, false}, {present | file, false}, {present | file | 0x1234, false}, {present, true},
             {present | 0x1234, true}, {swapped, true}, {file, false}})
        EXPECT_EQ(isWrittenPage(entry), written) << std::hex << entry;
    // This process runs its own executable, and has written none of it.
    const auto own = mappedCode(static_cast<std::int32_t>(::getpid()));
    ASSERT_TRUE(own);
    const auto executable =
        std::find_if(own->begin(), own->end(), [](const MappedCode& m) { return m.path == processPath(::getpid()); });
    ASSERT_NE(executable, own->end());
    EXPECT_EQ(executable->writtenPages, 0u);
    EXPECT_TRUE(inOwnNamespaces(static_cast<std::int32_t>(::getpid())));
    EXPECT_FALSE(inOwnNamespaces(INT32_MAX));
}

// A code page counts as written when it holds other bytes than the kernel shows of its file: a
// byte written as a debugger writes (through /proc/<pid>/mem), a breakpoint too, but not the
// file's own byte put back, nor the breakpoint of a probe the kernel placed, nor the file's byte
// where the kernel is placing one.
class WrittenCode : public ::testing::Test {
protected:
    TempFolder dir;
    Path file = dir / "code.bin";
    unsigned char* code = nullptr;

    void SetUp() override {
        writeFileAtomically(file, std::string(2 * 4096, '\x90'));  // no-ops, which a probe may replace
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        void* mapped = ::mmap(nullptr, 2 * 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (mapped == MAP_FAILED) GTEST_SKIP() << "the temporary folder's files cannot be mapped as code";
        code = static_cast<unsigned char*>(mapped);
    }
    void TearDown() override {
        if (code) ::munmap(code, 2 * 4096);
    }
    void write(std::size_t at, unsigned char byte) const {
        const int fd = ::open("/proc/self/mem", O_RDWR | O_CLOEXEC);
        ASSERT_EQ(::pwrite(fd, &byte, 1, static_cast<off_t>(reinterpret_cast<std::uintptr_t>(code + at))), 1);
        ::close(fd);
    }
    std::uint64_t written() const {
        for (const auto& mapped : mappedCode(static_cast<std::int32_t>(::getpid())).value_or(std::vector<MappedCode>{}))
            if (mapped.path == file.string()) return mapped.writtenPages;
        ADD_FAILURE() << "the code is not mapped";
        return 0;
    }
};

TEST_F(WrittenCode, IsWhatDiffersFromWhatTheKernelShowsOfTheFile) {
    EXPECT_EQ(written(), 0u);
    for (const auto& [byte, pages] : std::vector<std::pair<unsigned char, std::uint64_t>>{
             {0x90, 0}, {0x91, 1}, {0xCC, 1}, {0x90, 0}}) {
        write(100, byte);
        EXPECT_EQ(written(), pages) << std::hex << int(byte);
    }
}

TEST_F(WrittenCode, ABreakpointTheKernelPlacedIsNotWritten) {
    auto placed = testing::Uprobe::place(file, 4096 + 16);
    if (const auto* why = std::get_if<std::string>(&placed)) GTEST_SKIP() << *why;
    ASSERT_EQ(code[4096 + 16], 0xCC);  // in our copy of the page, as in every mapping of the file
    EXPECT_EQ(written(), 0u);
    // The file's own byte where the kernel shows the probe: a process the kernel has not reached
    // yet while it places the probe in one process after another.
    write(4096 + 16, 0x90);
    EXPECT_EQ(written(), 0u);
    write(4096 + 200, 0x91);  // the kernel's page, written by someone else as well
    EXPECT_EQ(written(), 1u);
}

TEST(ProcessFacts, TracerAndEnvironmentNamesAreReadAsTheKernelWritesThem) {
    for (const auto& [status, tracer] : std::vector<std::pair<std::string, std::optional<std::int32_t>>>{
             {"Name:\tcat\nTracerPid:\t0\nUid:\t0\n", 0},
             {"TracerPid:\t4242\n", 4242},
             {"TracerPid:\n", std::nullopt},
             {"TracerPid:\t-1\n", std::nullopt},
             {"Name:\tcat\n", std::nullopt}})
        EXPECT_EQ(parseTracer(status), tracer) << status;
    EXPECT_EQ(parseEnvironmentNames(std::string("PATH=/bin\0LD_PRELOAD=/tmp/x.so\0=odd\0NOVALUE\0\0A=b=c", 50)),
              (std::vector<std::string>{"PATH", "LD_PRELOAD", "", "NOVALUE", "A"}));
    EXPECT_EQ(processTracer(static_cast<std::int32_t>(::getpid())), 0);
    const auto names = processEnvironmentNames(static_cast<std::int32_t>(::getpid()));
    ASSERT_TRUE(names);
    EXPECT_NE(std::find(names->begin(), names->end(), "PATH"), names->end());
    EXPECT_FALSE(processTracer(INT32_MAX));
    EXPECT_FALSE(processEnvironmentNames(INT32_MAX));
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
