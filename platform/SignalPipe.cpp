#include "platform/SignalPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace norvane {
namespace {

std::atomic<int> writeEnd{-1};

void caught(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // Non-blocking: with the pipe full the signal is dropped, the earlier ones stand.
    [[maybe_unused]] const auto written = ::write(writeEnd.load(), &byte, 1);
    errno = saved;
}

}  // namespace

std::unique_ptr<SignalPipe> SignalPipe::install(const std::vector<int>& numbers) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
    int expected = -1;
    if (!writeEnd.compare_exchange_strong(expected, fds[1])) {
        ::close(fds[0]);
        ::close(fds[1]);
        return nullptr;
    }
    std::unique_ptr<SignalPipe> pipe(new SignalPipe(fds[0], fds[1]));
    for (const int signal : numbers) {
        struct sigaction action {};
        action.sa_handler = caught;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        struct sigaction old {};
        if (::sigaction(signal, &action, &old) != 0) return nullptr;  // the destructor puts back the others
        pipe->previous_.emplace_back(signal, old);
    }
    return pipe;
}

SignalPipe::~SignalPipe() {
    for (const auto& [signal, old] : previous_) ::sigaction(signal, &old, nullptr);
    writeEnd.store(-1);
    ::close(read_);
    ::close(write_);
}

std::vector<int> SignalPipe::take() {
    std::vector<int> out;
    unsigned char bytes[64];
    while (true) {
        const ssize_t n = ::read(read_, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.insert(out.end(), bytes, bytes + n);
    }
    return out;
}

}  // namespace norvane
