#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/LineSink.h"

namespace norvane {
namespace {

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
