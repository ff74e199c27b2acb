#pragma once
// Signals turned into bytes on a pipe that the event loop watches, so a signal is handled
// as ordinary work on the main queue: the handler only writes the signal's number.

#include <csignal>
#include <memory>
#include <optional>
#include <vector>

namespace norvane {

class SignalPipe {
public:
    // Catches the signals of those numbers (their former handlers are put back when the pipe
    // goes); absent when the pipe or a handler cannot be set up. One pipe at a time per process.
    static std::unique_ptr<SignalPipe> install(const std::vector<int>& numbers);
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // Readable while caught signals wait to be taken.
    int fd() const { return read_; }
    // The signals caught since the last call, in order; a burst too large for the pipe
    // keeps its first signals. Never blocks.
    std::vector<int> take();

private:
    SignalPipe(int read, int write) : read_(read), write_(write) {}
    int read_ = -1;
    int write_ = -1;
    std::vector<std::pair<int, struct sigaction>> previous_;
};

}  // namespace norvane
