#include "platform/PowerAssertions.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ProcessKernel.h"
#include "platform/PropertyList.h"
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

}  // namespace
}  // namespace norvane
