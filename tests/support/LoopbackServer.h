#pragma once
// An HTTP server on the loopback address for one test: it answers each path as the test
// says, one connection at a time, and remembers the requests. Stopped when it goes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace norvane::testing {

class LoopbackServer {
public:
    struct Answer {
        explicit Answer(int status = 200, std::string body = "") : status(status), body(std::move(body)) {}
        int status;
        std::string body;
        // The announced length: the body's own size unless set; none sends no length (the
        // body then ends when the connection closes).
        std::optional<std::optional<std::size_t>> length;
        // Sends this many bytes of the body, then nothing more until the client leaves.
        std::optional<std::size_t> stallAfter;
        // Runs before the answer is sent.
        std::function<void()> before;
        // Sends the body over and over, without end, until the client leaves.
        bool endless = false;
        // Sends the body one byte at a time, this many seconds apart.
        std::optional<double> trickle;

        Answer& announcing(std::optional<std::size_t> size) { return length = size, *this; }
        Answer& stallingAfter(std::size_t size) { return stallAfter = size, *this; }
        Answer& first(std::function<void()> work) { return before = std::move(work), *this; }
        Answer& withoutEnd() { return endless = true, *this; }
        Answer& trickling(double seconds) { return trickle = seconds, *this; }
    };
    struct Request {
        std::string path;
        std::map<std::string, std::string> headers;  // names in lower case
    };

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Paths without an answer get 404.
    void answer(const std::string& path, Answer answer);
    std::string url(const std::string& path) const;
    std::vector<Request> requests() const;
    // An address where nothing listens: connecting is refused.
    static std::string refusedUrl();

private:
    void serve();
    void handle(int connection);

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::vector<Request> requests_;
    std::thread thread_;
};

}  // namespace norvane::testing
