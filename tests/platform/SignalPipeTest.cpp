#include "platform/SignalPipe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/LineSink.h"

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

TEST(StreamLines, EachLineReachesAPipeAtOnce) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);  // an unflushed line reads as nothing, not as a hang
    std::FILE* stream = ::fdopen(fds[1], "w");
    StreamLines(stream).line("10:42:07 readings 0 live 0 mA average -");
    char buffer[64] = {};
    EXPECT_EQ(::read(fds[0], buffer, sizeof buffer), 40);  // read while the stream is still open
    EXPECT_STREQ(buffer, "10:42:07 readings 0 live 0 mA average -\n");
    std::fclose(stream);
    ::close(fds[0]);
}

}  // namespace
}  // namespace norvane
