// Every test program runs in a world of its own (tests/support/OwnWorld.h): started outside
// one, as CTest or a person starts it, it starts itself again inside.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/OwnWorld.h"

namespace {

// Notes why each skipped test was skipped, one line in the file CTest names, for the line that
// ends the test run (tests/CMakeLists.txt): a green run that checked less says so.
class SkipRecords : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& test) override {
        const char* file = ::getenv("NORVANE_TEST_SKIPS");
        if (!file || !test.result()->Skipped()) return;
        std::string why;
        for (int i = 0; i < test.result()->total_part_count(); ++i)
            if (test.result()->GetTestPartResult(i).skipped()) why = test.result()->GetTestPartResult(i).message();
        for (char& c : why)
            if (c == '\n') c = ' ';
        why = (why.empty() ? "no reason given" : why) + '\n';
        const int fd = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return;
        [[maybe_unused]] const auto written = ::write(fd, why.data(), why.size());
        ::close(fd);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (!::getenv(norvane::testing::worldVariable)) {
        std::vector<std::string> command{std::filesystem::read_symlink("/proc/self/exe").string()};
        command.insert(command.end(), argv + 1, argv + argc);
        return norvane::testing::runInOwnWorld(command);
    }
    ::testing::InitGoogleMock(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new SkipRecords);
    return RUN_ALL_TESTS();
}
