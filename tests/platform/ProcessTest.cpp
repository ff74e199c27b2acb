#include <gtest/gtest.h>

#include "platform/Process.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

class ProcessTest : public ::testing::Test {
protected:
    TempMachine temp;
    SystemProcessRunner runner{temp.machine()};

    void script(const std::string& macPath, const std::string& body) {
        const Path file = temp.write(macPath.substr(1), "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    }
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
    auto out = runner.run("/usr/bin/absent", {});
    EXPECT_FALSE(out.started);
    EXPECT_NE(out.error.find("could not start"), std::string::npos);
    EXPECT_FALSE(out.exitCode);

    temp.write("usr/bin/plain", "not executable");
    out = runner.run("/usr/bin/plain", {});
    EXPECT_FALSE(out.started);
}

}  // namespace
}  // namespace norvane
