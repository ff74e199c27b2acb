#pragma once
// Where console lines go (the power log of `--log-power`): each line reaches its reader at
// once, so a pipe sees it while the program runs.

#include <cstdio>
#include <string_view>

namespace norvane {

class LineSink {
public:
    virtual ~LineSink() = default;
    // Writes the line and a line feed, then flushes. Failures are not reported.
    virtual void line(std::string_view text) = 0;
};

// A C stream: standard output unless another is given.
class StreamLines final : public LineSink {
public:
    explicit StreamLines(std::FILE* stream = stdout) : stream_(stream) {}
    void line(std::string_view text) override;

private:
    std::FILE* stream_;
};

}  // namespace norvane
