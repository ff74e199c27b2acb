// Every test program runs in a world of its own (tests/support/OwnWorld.h): started outside
// one, as CTest or a person starts it, it starts itself again inside.

#include <gmock/gmock.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/support/OwnWorld.h"

int main(int argc, char** argv) {
    if (!::getenv(norvane::testing::worldVariable)) {
        std::vector<std::string> command{std::filesystem::read_symlink("/proc/self/exe").string()};
        command.insert(command.end(), argv + 1, argv + argc);
        return norvane::testing::runInOwnWorld(command);
    }
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
