#include "platform/SignalPipe.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace norvane {
namespace {

bool readable(int fd) {
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, 5000) == 1;
}

TEST(SignalPipe, CaughtSignalsWaitOnThePipeInOrder) {
    struct sigaction before {};
    ::sigaction(SIGHUP, nullptr, &before);
    {
        const auto pipe = SignalPipe::install({SIGTERM, SIGINT, SIGHUP});
        ASSERT_TRUE(pipe);
        EXPECT_FALSE(SignalPipe::install({SIGUSR1}));  // one at a time
        EXPECT_TRUE(pipe->take().empty());

        // From another process, as at logout.
        const pid_t child = ::fork();
        if (child == 0) _exit(::kill(::getppid(), SIGHUP) == 0 ? 0 : 1);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(readable(pipe->fd()));
        EXPECT_EQ(pipe->take(), std::vector<int>{SIGHUP});

        ::raise(SIGTERM);
        ::raise(SIGINT);
        ASSERT_TRUE(readable(pipe->fd()));
        EXPECT_EQ(pipe->take(), (std::vector<int>{SIGTERM, SIGINT}));
    }
    struct sigaction after {};
    ::sigaction(SIGHUP, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    EXPECT_TRUE(SignalPipe::install({SIGTERM}));
}

}  // namespace
}  // namespace norvane
