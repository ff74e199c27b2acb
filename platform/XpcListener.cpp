#include "platform/XpcListener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "platform/XpcSocket.h"

namespace norvane {

struct XpcListener::State {
    Machine machine;
    std::string name;
    const CodeSigning& signing;
    std::optional<std::string> requirement;
    Delegate delegate;

    std::optional<SocketFolder> folder;
    int listener = -1;
    ino_t socketInode = 0;
    std::thread acceptor;

    std::mutex mutex;
    std::condition_variable connectionsEnded;
    std::set<int> connections;
    bool stopping = false;

    State(Machine m, std::string n, const CodeSigning& s) : machine(std::move(m)), name(std::move(n)), signing(s) {}
};

namespace {

// One accepted connection: its requests, one at a time, until either end closes it.
void serve(const std::shared_ptr<XpcListener::State>& state, int fd, XpcExported exported) {
    // Replies may come from other threads, after the connection has gone.
    struct Writer {
        std::mutex mutex;
        int fd;
        bool open = true;
    };
    const auto writer = std::make_shared<Writer>();
    writer->fd = fd;
    while (const auto frame = readFrame(fd)) {
        const Value* id = frame->find("id");
        const Value* body = frame->find("body");
        if (!id || !id->isInteger() || !body) break;
        auto reply = [writer, id = static_cast<std::uint64_t>(*id->integerValue())](Value answer) {
            const std::lock_guard lock(writer->mutex);
            if (writer->open) writeFrame(writer->fd, framed(id, std::move(answer)));
        };
        if (!exported(*body, std::move(reply))) break;
    }
    {
        const std::lock_guard lock(writer->mutex);
        writer->open = false;
    }
    const std::lock_guard lock(state->mutex);
    state->connections.erase(fd);
    ::close(fd);
    state->connectionsEnded.notify_all();
}

void acceptConnections(const std::shared_ptr<XpcListener::State>& state) {
    for (;;) {
        const int fd = ::accept4(state->listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // shut down
        }
        XpcListener::Connection connection;
        const auto pid = peerProcess(fd);
        connection.pid = pid.value_or(0);
        bool accepted = pid.has_value();
        if (accepted && state->requirement) {
            const auto code = state->signing.processCode(*pid);
            accepted = code && state->signing.checkValidity(*code, *state->requirement) == SignatureCheck::valid;
        }
        accepted = accepted && state->delegate && state->delegate(connection) && connection.exported;
        if (!accepted) {
            ::close(fd);
            continue;
        }
        {
            const std::lock_guard lock(state->mutex);
            if (state->stopping) {
                ::close(fd);
                return;
            }
            state->connections.insert(fd);
        }
        std::thread(serve, state, fd, std::move(connection.exported)).detach();
    }
}

}  // namespace

XpcListener::XpcListener(Machine machine, std::string machService, const CodeSigning& signing)
    : state_(std::make_shared<State>(std::move(machine), std::move(machService), signing)) {}

XpcListener::~XpcListener() {
    if (state_->listener >= 0) {
        ::shutdown(state_->listener, SHUT_RDWR);
        if (state_->acceptor.joinable()) state_->acceptor.join();
        // The name goes only while it is still ours: a later listener may have taken it.
        struct stat now {};
        const Path path = state_->folder->path() / state_->name;
        if (::stat(path.c_str(), &now) == 0 && now.st_ino == state_->socketInode) ::unlink(path.c_str());
        ::close(state_->listener);
    }
    std::unique_lock lock(state_->mutex);
    state_->stopping = true;
    for (const int fd : state_->connections) ::shutdown(fd, SHUT_RDWR);
    state_->connectionsEnded.wait(lock, [this] { return state_->connections.empty(); });
}

void XpcListener::setCodeSigningRequirement(std::string requirement) { state_->requirement = std::move(requirement); }

void XpcListener::setDelegate(Delegate delegate) { state_->delegate = std::move(delegate); }

std::optional<std::string> XpcListener::resume() {
    if (state_->listener >= 0) return std::nullopt;
    state_->folder = SocketFolder::open(state_->machine);
    if (!state_->folder) return "the service sockets cannot be reached";
    // Bound and listening under a name of its own first, then renamed over the service's
    // name: a client never finds a socket that refuses it while we start.
    const std::string temporary = "." + state_->name + "." + std::to_string(::getpid());
    const auto address = state_->folder->address(temporary);
    if (!address || !state_->folder->address(state_->name)) return "the service name cannot be a socket name";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::string("no socket: ") + std::strerror(errno);
    ::unlinkat(state_->folder->fd(), temporary.c_str(), 0);
    struct stat bound {};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 || ::listen(fd, 64) != 0 ||
        ::fstatat(state_->folder->fd(), temporary.c_str(), &bound, 0) != 0 ||
        ::renameat(state_->folder->fd(), temporary.c_str(), state_->folder->fd(), state_->name.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(fd);
        ::unlinkat(state_->folder->fd(), temporary.c_str(), 0);
        return "cannot listen on " + state_->name + ": " + reason;
    }
    state_->listener = fd;
    state_->socketInode = bound.st_ino;
    state_->acceptor = std::thread(acceptConnections, state_);
    return std::nullopt;
}

}  // namespace norvane
