#include "platform/InstanceSocket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/FileLock.h"
#include "platform/PropertyList.h"
#include "platform/XpcSocket.h"

namespace norvane {
namespace {

void limitSteps(int fd, double seconds) {
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(seconds);
    limit.tv_usec = static_cast<suseconds_t>((seconds - std::floor(seconds)) * 1e6);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

std::string reason(std::string_view what, const Path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

std::optional<Path> instanceSocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || *runtime != '/') return std::nullopt;
    return Path(runtime) / "norvane.sock";
}

namespace {

using Clock = std::chrono::steady_clock;

// Rings the server's thread from any thread, while the server is there.
struct Bell {
    std::mutex mutex;
    int fd = -1;
    void ring() {
        const std::lock_guard lock(mutex);
        const std::uint64_t one = 1;
        if (fd >= 0) {
            [[maybe_unused]] const auto written = ::write(fd, &one, sizeof one);
        }
    }
};

// What a reply needs of its connection, from any thread.
struct Link {
    std::mutex mutex;
    int fd = -1;
    bool open = true;
    bool replied = false;
    // Writes the reply unless one was sent or the connection has gone; true when it was
    // this call's to send.
    bool send(const Value& reply) {
        const std::lock_guard lock(mutex);
        if (!open || replied) return false;
        replied = true;
        writeFrameWithin(fd, reply, 2);
        return true;
    }
};

}  // namespace

struct InstanceServer::State {
    int listening = -1;
    std::shared_ptr<Bell> bell = std::make_shared<Bell>();
    uid_t user = 0;
    Handler handler;
    InstanceLimits limits;
    Path path;
    struct stat bound {};  // the socket file this server made
    std::thread thread;
    std::atomic<bool> stopping = false;

    struct Connection {
        std::shared_ptr<Link> link;
        Clock::time_point started = Clock::now();
        std::string buffer;                      // what has come of the request so far
        std::optional<Value> request;            // the whole request, once it is in
        std::optional<Clock::time_point> asked;  // when it was handed over to be answered
        bool sending() const { return !request; }
    };
    std::map<std::uint64_t, Connection> connections;  // the server thread's alone, in the order of acceptance
    std::uint64_t next = 1;

    ~State() {
        if (listening >= 0) ::close(listening);
        const std::lock_guard lock(bell->mutex);
        if (bell->fd >= 0) ::close(bell->fd);
        bell->fd = -1;
    }

    void close(std::map<std::uint64_t, Connection>::iterator it) {
        {
            const std::lock_guard lock(it->second.link->mutex);
            it->second.link->open = false;
            ::close(it->second.link->fd);
        }
        connections.erase(it);
    }

    // Connections not being answered: those still sending and those whose request waits.
    std::size_t held() const {
        std::size_t count = 0;
        for (const auto& [id, c] : connections) count += c.asked ? 0 : 1;
        return count;
    }

    // Whether a newcomer can be taken: while none can, it waits in the listening queue.
    bool room() const {
        const std::size_t count = held();
        if (count < limits.sending) return true;
        if (count > limits.sending) return false;
        for (const auto& [id, c] : connections)
            if (c.sending()) return true;
        return false;
    }

    // When the places for connections not being answered are all taken, the one that gives
    // way to a newcomer: the oldest from which nothing has come, else the oldest still
    // sending. What each has sent is read first, so one whose request is already there never
    // gives way. The end when a place is free, or when every one holds a whole request.
    std::map<std::uint64_t, Connection>::iterator givingWay() {
        for (auto it = connections.begin(); it != connections.end();) {
            const auto following = std::next(it);
            if (it->second.sending() && !receive(it->second)) close(it);
            it = following;
        }
        if (held() < limits.sending) return connections.end();
        auto oldestSending = connections.end();
        for (auto it = connections.begin(); it != connections.end(); ++it) {
            if (!it->second.sending()) continue;
            if (it->second.buffer.empty()) return it;
            if (oldestSending == connections.end()) oldestSending = it;
        }
        return oldestSending;
    }

    void accept() {
        while (room()) {
            const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) return;
            if (peerUser(fd) != user) {
                ::close(fd);
                continue;
            }
            // Should every one turn out to hold a whole request, the newcomer comes in beyond
            // them, the one over the limit, and no other is taken until they are fewer again.
            if (held() >= limits.sending)
                if (const auto giving = givingWay(); giving != connections.end()) close(giving);
            Connection& c = connections[next++];
            c.link = std::make_shared<Link>();
            c.link->fd = fd;
        }
    }

    // Reads what the peer sent, and keeps the request once it is whole; false when the
    // connection must end (it sent more than a request may be, something that is no request,
    // or closed before its request was whole). A whole request followed by the end of the
    // stream is answered all the same.
    bool receive(Connection& c) {
        bool closed = false;
        for (;;) {
            char bytes[16384];
            const ssize_t n = ::recv(c.link->fd, bytes, sizeof bytes, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                closed = n == 0;
                break;
            }
            c.buffer.append(bytes, static_cast<std::size_t>(n));
            if (c.buffer.size() > 4 + maximumInstanceMessage) return false;
        }
        if (c.buffer.size() < 4) return !closed;
        const auto* b = reinterpret_cast<const unsigned char*>(c.buffer.data());
        const std::size_t size = std::size_t{b[0]} << 24 | std::size_t{b[1]} << 16 | std::size_t{b[2]} << 8 | b[3];
        if (size > maximumInstanceMessage || c.buffer.size() > 4 + size) return false;
        if (c.buffer.size() < 4 + size) return !closed;
        c.request = parseJson(std::string_view(c.buffer).substr(4));
        if (!c.request) return false;
        std::string().swap(c.buffer);
        return true;
    }

    // Hands whole requests, the oldest first, to the handler while fewer than
    // `limits.connections` are being answered; the others wait for a place.
    void handOver() {
        std::size_t answering = connections.size() - held();
        for (auto& [id, c] : connections) {
            if (answering >= limits.connections) return;
            if (!c.request || c.asked) continue;
            c.asked = Clock::now();
            ++answering;
            const std::shared_ptr<Link> link = c.link;
            const std::shared_ptr<Bell> ring = bell;
            handler(*c.request, [link, ring](Value reply) {
                if (link->send(reply)) ring->ring();
            });
        }
    }

    // Ends what is done or past its deadline; the time until the next deadline (none: -1).
    int settle() {
        const auto now = Clock::now();
        const auto seconds = [](double s) { return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s)); };
        std::optional<Clock::time_point> soonest;
        for (auto it = connections.begin(); it != connections.end();) {
            const auto following = std::next(it);
            Connection& c = it->second;
            // A whole request waiting for its place has no deadline: places free within
            // `answerSeconds`.
            if (c.request && !c.asked) {
                it = following;
                continue;
            }
            bool replied = false;
            {
                const std::lock_guard lock(c.link->mutex);
                replied = c.link->replied;
            }
            const auto deadline = c.asked ? *c.asked + seconds(limits.answerSeconds) : c.started + seconds(limits.requestSeconds);
            if (replied || now >= deadline) {
                if (!replied && c.asked) c.link->send(limits.lateReply);
                close(it);
            } else if (!soonest || deadline < *soonest) {
                soonest = deadline;
            }
            it = following;
        }
        if (!soonest) return -1;
        return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*soonest - now).count()) + 1;
    }

    void serve() {
        int timeout = -1;
        while (true) {
            std::vector<pollfd> fds{{bell->fd, POLLIN, 0}, {room() ? listening : -1, POLLIN, 0}};
            std::vector<std::uint64_t> ids;
            for (const auto& [id, c] : connections)
                if (c.sending()) {
                    fds.push_back({c.link->fd, POLLIN, 0});
                    ids.push_back(id);
                }
            if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto n = ::read(bell->fd, &count, sizeof count);
            }
            if (stopping) return;
            if (fds[1].revents & POLLIN) accept();
            for (std::size_t i = 0; i < ids.size(); ++i) {
                if (!fds[i + 2].revents) continue;
                // One may have given way, or had its request read, while newcomers were taken.
                const auto it = connections.find(ids[i]);
                if (it != connections.end() && it->second.sending() && !receive(it->second)) close(it);
            }
            // Places freed by settling go at once to the requests waiting for them.
            do {
                handOver();
                timeout = settle();
            } while (connections.size() - held() < limits.connections &&
                     std::any_of(connections.begin(), connections.end(),
                                 [](const auto& entry) { return entry.second.request && !entry.second.asked; }));
        }
    }
};

std::variant<std::unique_ptr<InstanceServer>, std::string> InstanceServer::listen(const Path& path, Handler handler,
                                                                                 uid_t user, InstanceLimits limits) {
    const auto folder = SocketFolder::at(path.parent_path());
    if (!folder) return reason("cannot open the folder of", path);
    const auto address = folder->address(path.filename().string());
    if (!address) return "the socket's name does not fit: " + path.string();
    auto state = std::make_shared<State>();
    state->user = user;
    state->handler = std::move(handler);
    state->limits = std::move(limits);
    state->path = path;
    state->listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    state->bell->fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->listening < 0 || state->bell->fd < 0) return reason("cannot make a socket for", path);
    const auto* name = reinterpret_cast<const sockaddr*>(&*address);
    {
        // Two starts at once must not both take a stale socket for theirs.
        const FileLock lock(path);
        if (::bind(state->listening, name, sizeof *address) != 0) {
            if (errno != EADDRINUSE) return reason("cannot bind", path);
            const int probe = connectToService(*folder, path.filename().string());
            if (probe >= 0) {
                ::close(probe);
                return "another instance listens at " + path.string();
            }
            ::unlink(path.c_str());
            if (::bind(state->listening, name, sizeof *address) != 0) return reason("cannot bind", path);
        }
        if (::chmod(path.c_str(), 0600) != 0 || ::stat(path.c_str(), &state->bound) != 0 ||
            ::listen(state->listening, 64) != 0) {
            const std::string failed = reason("cannot listen at", path);
            ::unlink(path.c_str());
            return failed;
        }
    }
    state->thread = std::thread([state = state.get()] { state->serve(); });
    return std::unique_ptr<InstanceServer>(new InstanceServer(std::move(state)));
}

InstanceServer::~InstanceServer() {
    state_->stopping = true;
    state_->bell->ring();
    state_->thread.join();
    while (!state_->connections.empty()) state_->close(state_->connections.begin());
    // A later instance may have taken the path over; its socket stays.
    struct stat now {};
    if (::stat(state_->path.c_str(), &now) == 0 && now.st_ino == state_->bound.st_ino &&
        now.st_dev == state_->bound.st_dev)
        ::unlink(state_->path.c_str());
}

InstanceReply askInstance(const Path& path, const Value& request, double seconds) {
    InstanceReply reply;
    const auto folder = SocketFolder::at(path.parent_path());
    if (!folder) return reply;
    const int fd = connectToService(*folder, path.filename().string());
    if (fd < 0) {
        if (errno != ENOENT && errno != ECONNREFUSED) reply.status = InstanceReply::Status::failed;
        return reply;
    }
    reply.status = InstanceReply::Status::failed;
    limitSteps(fd, seconds);
    // A request the running copy would refuse unread is not sent: the caller says why.
    if (const auto text = writeJson(request); !text || text->size() > maximumInstanceMessage) {
        ::close(fd);
        reply.status = InstanceReply::Status::tooLarge;
        return reply;
    }
    if (peerUser(fd) == ::geteuid() && writeFrame(fd, request)) {
        if (auto answer = readFrame(fd, maximumInstanceMessage)) {
            reply.status = InstanceReply::Status::answered;
            reply.value = std::move(*answer);
        }
    }
    ::close(fd);
    return reply;
}

}  // namespace norvane
