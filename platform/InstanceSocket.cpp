#include "platform/InstanceSocket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/FileLock.h"
#include "platform/XpcSocket.h"

namespace norvane {
namespace {

// How long one step of an exchange may take before the server moves on to the next peer.
constexpr double serverStepSeconds = 2;

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

struct InstanceServer::State {
    int listening = -1;
    int wake = -1;  // an eventfd that ends the thread
    uid_t user = 0;
    Handler handler;
    Path path;
    struct stat bound {};  // the socket file this server made
    std::thread thread;

    ~State() {
        if (listening >= 0) ::close(listening);
        if (wake >= 0) ::close(wake);
    }

    void answer(int peer) const {
        if (peerUser(peer) != user) return;
        limitSteps(peer, serverStepSeconds);
        if (const auto request = readFrame(peer, maximumInstanceMessage)) writeFrame(peer, handler(*request));
    }

    void serve() const {
        while (true) {
            pollfd fds[2] = {{listening, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents & POLLIN) return;
            const int peer = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0) continue;
            answer(peer);
            ::close(peer);
        }
    }
};

std::variant<std::unique_ptr<InstanceServer>, std::string> InstanceServer::listen(const Path& path, Handler handler,
                                                                                 uid_t user) {
    const auto folder = SocketFolder::at(path.parent_path());
    if (!folder) return reason("cannot open the folder of", path);
    const auto address = folder->address(path.filename().string());
    if (!address) return "the socket's name does not fit: " + path.string();
    auto state = std::make_shared<State>();
    state->user = user;
    state->handler = std::move(handler);
    state->path = path;
    state->listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    state->wake = ::eventfd(0, EFD_CLOEXEC);
    if (state->listening < 0 || state->wake < 0) return reason("cannot make a socket for", path);
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
            ::listen(state->listening, 16) != 0) {
            const std::string failed = reason("cannot listen at", path);
            ::unlink(path.c_str());
            return failed;
        }
    }
    state->thread = std::thread([state = state.get()] { state->serve(); });
    return std::unique_ptr<InstanceServer>(new InstanceServer(std::move(state)));
}

InstanceServer::~InstanceServer() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(state_->wake, &one, sizeof one);
    state_->thread.join();
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
