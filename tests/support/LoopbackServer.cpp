#include "tests/support/LoopbackServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace norvane::testing {
namespace {

constexpr std::size_t maxRequestBytes = 1 << 16;

// A socket bound to an unused port of the loopback address.
int boundSocket(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot bind to the loopback address");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Waits until the socket can be read or the server is told to stop; false when stopping.
bool waitFor(int fd, int wake) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0) {
    }
    return (fds[1].revents & POLLIN) == 0;
}

void sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

LoopbackServer::LoopbackServer() {
    // A proxy of the environment must not stand between the test and its server.
    ::setenv("no_proxy", "127.0.0.1", 1);
    listener_ = boundSocket(port_);
    if (::listen(listener_, 8) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error("cannot listen");
    thread_ = std::thread([this] { serve(); });
}

LoopbackServer::~LoopbackServer() {
    (void)!::write(wake_[1], "x", 1);
    thread_.join();
    for (int fd : {listener_, wake_[0], wake_[1]}) ::close(fd);
}

void LoopbackServer::answer(const std::string& path, Answer answer) {
    const std::lock_guard lock(mutex_);
    answers_[path] = std::move(answer);
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<LoopbackServer::Request> LoopbackServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::string LoopbackServer::refusedUrl() {
    std::uint16_t port = 0;
    ::close(boundSocket(port));
    return "http://127.0.0.1:" + std::to_string(port) + "/version.json";
}

void LoopbackServer::serve() {
    while (waitFor(listener_, wake_[0])) {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        handle(connection);
        ::close(connection);
    }
}

void LoopbackServer::handle(int connection) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < maxRequestBytes) {
        if (!waitFor(connection, wake_[0])) return;
        char buffer[4096];
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    Request request;
    const auto lineEnd = head.find("\r\n");
    const auto pathStart = head.find(' ');
    const auto pathEnd = head.find(' ', pathStart + 1);
    if (pathStart == std::string::npos || pathEnd == std::string::npos || pathEnd > lineEnd) return;
    request.path = head.substr(pathStart + 1, pathEnd - pathStart - 1);
    for (auto at = lineEnd + 2; at < head.size();) {
        const auto end = head.find("\r\n", at);
        const auto colon = head.find(':', at);
        if (end == std::string::npos || end == at) break;
        if (colon < end) {
            std::string name = head.substr(at, colon - at);
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            std::string value = head.substr(colon + 1, end - colon - 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers[name] = value;
        }
        at = end + 2;
    }
    Answer answer(404, "not found");
    {
        const std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (const auto found = answers_.find(request.path); found != answers_.end()) answer = found->second;
    }
    if (answer.before) answer.before();
    const std::optional<std::size_t> length = answer.length.value_or(answer.body.size());
    std::string header = "HTTP/1.1 " + std::to_string(answer.status) + " Answer\r\nConnection: close\r\n";
    if (length) header += "Content-Length: " + std::to_string(*length) + "\r\n";
    sendAll(connection, header + "\r\n");
    if (answer.endless) {
        // Until the client closes (the send fails) or the server stops.
        for (pollfd stop{wake_[0], POLLIN, 0}; ::poll(&stop, 1, 0) == 0;)
            if (::send(connection, answer.body.data(), answer.body.size(), MSG_NOSIGNAL) <= 0) return;
        return;
    }
    if (answer.trickle) {
        for (const char byte : answer.body) {
            pollfd stop{wake_[0], POLLIN, 0};
            if (::poll(&stop, 1, static_cast<int>(*answer.trickle * 1000)) != 0) return;
            if (::send(connection, &byte, 1, MSG_NOSIGNAL) != 1) return;
        }
        return;
    }
    if (!answer.stallAfter) {
        sendAll(connection, answer.body);
        return;
    }
    sendAll(connection, std::string_view(answer.body).substr(0, *answer.stallAfter));
    // Nothing more: the client gives up and closes, or the server stops.
    waitFor(connection, wake_[0]);
}

}  // namespace norvane::testing
