#include "platform/PowerAssertions.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/ProcessKernel.h"
#include "platform/PropertyList.h"
#include "tests/support/OwnWorld.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

// The assertions listed under a process (none when it holds none).
Value::Array assertionsOf(const PowerAssertions& assertions, std::int64_t pid) {
    const auto byProcess = assertions.byProcess();
    const Value* list = byProcess ? byProcess->find(std::to_string(pid)) : nullptr;
    return list && list->isArray() ? *list->asArray() : Value::Array{};
}

std::size_t holderFiles(const TempMachine& temp) {
    const std::filesystem::directory_iterator files(temp.root() / "power/holders");
    return static_cast<std::size_t>(std::distance(begin(files), end(files)));
}

// A file system whose exclusive locks fail with this error (none: the real flock), as an NFS
// home refuses one on a read-only descriptor with EBADF.
int lockFailure = 0;
int failingLock(int fd, int operation) {
    if (lockFailure != 0 && (operation & LOCK_EX) != 0) {
        errno = lockFailure;
        return -1;
    }
    return ::flock(fd, operation);
}

TEST(PowerAssertions, CreatedReleasedAndListedUnderTheirProcessOrRefusedByAnUndecodableFile) {
    TempMachine temp;
    const PowerAssertions assertions(temp.machine());
    EXPECT_EQ(assertions.byProcess(), parseJson("{}"));
    const auto first = assertions.create("PreventUserIdleSystemSleep", 255, "Stay awake");
    const auto second = assertions.create("NoDisplaySleepAssertion", 255, "Other");
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);

    const auto own = assertionsOf(assertions, ::getpid());
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(*own[1].find("AssertType")->asString(), "NoDisplaySleepAssertion");
    EXPECT_EQ(*own[0].find("Process Name")->asString(), program_invocation_short_name);

    EXPECT_TRUE(assertions.release(*first));
    EXPECT_FALSE(assertions.release(*first));
    EXPECT_TRUE(assertions.release(*second));
    EXPECT_EQ(assertions.byProcess(), parseJson("{}"));

    // An undecodable file refuses everything and is kept.
    const Path file = temp.write("power/assertions.json", "[not an object");
    EXPECT_FALSE(assertions.create("PreventUserIdleSystemSleep", 255, "x"));
    EXPECT_FALSE(assertions.release(1));
    EXPECT_FALSE(assertions.byProcess());
    EXPECT_EQ(readFile(file), "[not an object");
}

TEST(PowerAssertions, VanishWithTheProcessThatMadeThem) {
    TempMachine temp;
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const auto start = processStartTime(::getpid());
    ASSERT_TRUE(start);
    // A dead creator, our pid with another start (a reused pid), and another app's entry
    // that no process of ours made.
    temp.write("power/assertions.json",
               "{\"" + std::to_string(gone) + "\": [{\"AssertType\": \"PreventSystemSleep\", \"ProcessStartTime\": " +
                   std::to_string(*start) + "}], \"" + std::to_string(::getpid()) +
                   "\": [{\"AssertType\": \"PreventSystemSleep\", \"ProcessStartTime\": " +
                   std::to_string(*start + 1) + "}], \"1403\": [{\"AssertType\": \"PreventUserIdleDisplaySleep\"}]}");
    const PowerAssertions assertions(temp.machine());
    const auto expected = parseJson(R"({"1403": [{"AssertType": "PreventUserIdleDisplaySleep"}]})");
    EXPECT_EQ(assertions.byProcess(), expected);
    const auto id = assertions.create("PreventUserIdleSystemSleep", 255, "x");
    ASSERT_TRUE(id);
    EXPECT_TRUE(assertions.release(*id));
    EXPECT_EQ(parseJson(readFile(temp.root() / "power/assertions.json").value_or("")), expected);
}

TEST(PowerAssertions, ProcessesCreatingAtOnceLoseNoAssertion) {
    TempMachine temp;
    constexpr int perProcess = 25;
    std::vector<pid_t> children;
    for (int i = 0; i < 4; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            const PowerAssertions assertions(temp.machine());
            for (int n = 0; n < perProcess; ++n) assertions.create("PreventSystemSleep", 255, "x");
            ::_exit(static_cast<int>(assertionsOf(assertions, ::getpid()).size()));
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), perProcess);
    }
}

// Processes of two PID namespaces share the folder and, each the first of its own, one pid: each
// one's assertion lasts as long as it lives, and neither releases the other's.
TEST(PowerAssertions, HoldersOfTwoPidNamespacesWithOnePidKeepTheirOwn) {
    TempMachine temp;
    int toFirst[2], fromFirst[2];
    ASSERT_EQ(::pipe(toFirst), 0);
    ASSERT_EQ(::pipe(fromFirst), 0);
    const auto finish = [](pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    };
    // Starts a few clock ticks apart, in which a process's start is told: each pid 1 is then
    // another process by its start too.
    const auto apart = [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); };
    apart();
    const pid_t first = testing::startInOwnPidNamespace([&] {
        const auto id = PowerAssertions(temp.machine()).create("PreventSystemSleep", 255, "first");
        const std::uint32_t said = id.value_or(0);
        char end = 0;
        return ::write(fromFirst[1], &said, sizeof said) == sizeof said && ::read(toFirst[0], &end, 1) == 1 ? 0 : 1;
    });
    ::close(fromFirst[1]);  // a first that never began (no namespace here) is seen at once
    std::uint32_t held = 0;
    if (::read(fromFirst[0], &held, sizeof held) != static_cast<ssize_t>(sizeof held) || held == 0) {
        [[maybe_unused]] const auto told = ::write(toFirst[1], "x", 1);
        if (finish(first) == 77) GTEST_SKIP() << "no PID namespace can be made here";
        FAIL() << "no assertion was made in the first namespace";
    }
    apart();
    const pid_t second = testing::startInOwnPidNamespace([&] {
        const PowerAssertions assertions(temp.machine());
        const auto own = assertions.create("PreventSystemSleep", 255, "second");
        const bool both = own && assertionsOf(assertions, 1).size() == 2;
        const bool keptTheOther = own && !assertions.release(held) && assertions.release(*own);
        return ::getpid() == 1 && both && keptTheOther ? 0 : 1;
    });
    EXPECT_EQ(finish(second), 0);
    // Seen from here its pid names another process, which is no reason to drop it.
    const PowerAssertions assertions(temp.machine());
    const auto left = assertionsOf(assertions, 1);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(*left[0].find("AssertName")->asString(), "first");
    EXPECT_TRUE(madeInAnotherPidNamespace(left[0]));
    ASSERT_EQ(::write(toFirst[1], "x", 1), 1);
    EXPECT_EQ(finish(first), 0);
    EXPECT_EQ(assertions.byProcess(), parseJson("{}"));
    // The ended holders' files go with the next change.
    const auto id = assertions.create("PreventSystemSleep", 255, "x");
    ASSERT_TRUE(id && assertions.release(*id));
    EXPECT_EQ(holderFiles(temp), 1u);  // ours alone
    for (const int fd : {toFirst[0], toFirst[1], fromFirst[0], fromFirst[1]}) ::close(fd);
}

// A lock the file system cannot give tells nothing: the holder's assertion and file stay (a
// creator that ended is still told by its start, in its own PID namespace).
TEST(PowerAssertions, AHolderEndsOnlyWhenItsFileGoesOrItsLockIsTaken) {
    for (const int failure : {0, EBADF, ENOLCK, EINTR}) {
        SCOPED_TRACE(failure);
        TempMachine temp;
        int link[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, link), 0);
        const pid_t living = ::fork();
        if (living == 0) {  // holds its assertion until the link closes
            ::close(link[0]);
            const bool made = PowerAssertions(temp.machine()).create("PreventSystemSleep", 255, "living").has_value();
            char end = 0;
            ::_exit(made && ::write(link[1], "x", 1) == 1 && ::read(link[1], &end, 1) == 0 ? 0 : 1);
        }
        ::close(link[1]);
        char made = 0;
        EXPECT_EQ(::read(link[0], &made, 1), 1);
        const pid_t ended = ::fork();
        if (ended == 0) ::_exit(PowerAssertions(temp.machine()).create("PreventSystemSleep", 255, "ended") ? 0 : 1);
        int status = 1;
        ::waitpid(ended, &status, 0);
        EXPECT_EQ(status, 0);

        lockFailure = failure;
        const PowerAssertions assertions(temp.machine(), failingLock);
        EXPECT_TRUE(assertions.create("PreventSystemSleep", 255, "own"));
        EXPECT_EQ(assertionsOf(assertions, ::getpid()).size(), 1u);
        EXPECT_EQ(assertionsOf(assertions, living).size(), 1u);
        EXPECT_TRUE(assertionsOf(assertions, ended).empty());
        EXPECT_EQ(holderFiles(temp), failure == 0 ? 2u : 3u);  // the ended one's stays when its lock tells nothing
        lockFailure = 0;
        ::close(link[0]);
        ::waitpid(living, &status, 0);
        EXPECT_EQ(status, 0);
    }
}

// Its holder's file deleted or replaced under it, a living process makes a new one at its next
// change, and every assertion it holds counts again, for itself and for others.
TEST(PowerAssertions, AProcessWhoseHolderFileWentMakesANewOne) {
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced);
        TempMachine temp;
        const PowerAssertions assertions(temp.machine());
        const auto first = assertions.create("PreventSystemSleep", 255, "first");
        ASSERT_TRUE(first);
        const Path holder = std::filesystem::directory_iterator(temp.root() / "power/holders")->path();
        std::filesystem::remove(holder);
        if (replaced) temp.write("power/holders/" + holder.filename().string(), "");
        EXPECT_TRUE(assertions.create("PreventSystemSleep", 255, "second"));

        const pid_t own = ::getpid();
        const pid_t other = ::fork();
        if (other == 0) ::_exit(static_cast<int>(assertionsOf(PowerAssertions(temp.machine()), own).size()));
        int status = 0;
        ::waitpid(other, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 2);
        EXPECT_EQ(assertionsOf(assertions, own).size(), 2u);
        EXPECT_EQ(holderFiles(temp), 1u);
        EXPECT_TRUE(assertions.release(*first));
    }
}

}  // namespace
}  // namespace norvane
