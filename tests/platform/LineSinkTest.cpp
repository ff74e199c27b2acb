#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "platform/LineSink.h"

namespace norvane {
namespace {

TEST(StreamLines, EachLineReachesAPipeAtOnce) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);  // an unflushed line reads as nothing, not as a hang
    std::FILE* stream = ::fdopen(fds[1], "w");
    ASSERT_TRUE(stream);
    StreamLines lines(stream);
    lines.line("10:42:07 readings 0 live 0 mA average -");
    // Read while the stream is still open: only a flushed line is in the pipe.
    char buffer[128] = {};
    const auto got = ::read(fds[0], buffer, sizeof buffer - 1);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0),
              "10:42:07 readings 0 live 0 mA average -\n");
    std::fclose(stream);
    ::close(fds[0]);
}

}  // namespace
}  // namespace norvane
