#include "platform/SocketXpc.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/FileLock.h"
#include "platform/ProcessKernel.h"
#include "platform/ServiceManagement.h"
#include "platform/XpcSocket.h"

namespace norvane {
namespace {

// How long a started daemon has to listen, and how often we look.
constexpr double launchDeadline = 10.0;
constexpr double launchStep = 0.01;
// How long a listener may take to check us and say it listens.
constexpr double handshakeDeadline = 30;

// One connection's state, shared by its handle and its thread: the thread may outlive the
// handle (a check of the peer under way when the connection is invalidated), and no one ever
// waits for it.
class Link : public std::enable_shared_from_this<Link> {
public:
    using ReplyHandler = XpcConnection::ReplyHandler;
    using ErrorHandler = XpcConnection::ErrorHandler;

    Link(Machine machine, std::string name, std::shared_ptr<const CodeSigning> signing)
        : machine_(std::move(machine)), name_(std::move(name)), signing_(std::move(signing)) {}

    void setCodeSigningRequirement(std::string requirement) { requirement_ = std::move(requirement); }

    void resume() {
        const std::lock_guard lock(mutex_);
        if (started_ || invalidated_) return;
        started_ = true;
        std::thread([self = shared_from_this()] { self->run(); }).detach();
    }

    void send(Value message, ReplyHandler reply, ErrorHandler error) {
        std::unique_lock lock(mutex_);
        if (ended_) {
            const XpcError reason = endReason();
            lock.unlock();
            error(reason);
            return;
        }
        const std::uint64_t id = nextId_++;
        Value frame = framed(id, std::move(message));
        pending_.emplace(id, Pending{std::move(reply), std::move(error)});
        if (fd_ < 0) {
            outgoing_.push_back(std::move(frame));
            return;
        }
        // A frame that cannot go makes the reader see the end and fail what waits.
        if (!writeFrame(fd_, frame)) ::shutdown(fd_, SHUT_RDWR);
    }

    // Ends the exchange without waiting for the thread: a peer check under way ends by its
    // own deadline, and the thread then finds the connection invalidated.
    void invalidate() {
        {
            const std::lock_guard lock(mutex_);
            invalidated_ = true;
            if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
            if (handshake_ >= 0) ::shutdown(handshake_, SHUT_RDWR);
        }
        failAll();
    }

private:
    struct Pending {
        ReplyHandler reply;
        ErrorHandler error;
    };

    XpcError endReason() const {
        const std::string prefix = "The connection to service named " + name_ + " was ";
        if (invalidated_) return {prefix + "invalidated.", std::nullopt};
        if (refusal_) return {prefix + "invalidated: the service refused this process: " + *refusal_ + ".", refusal_};
        return {prefix + (failure_.empty() ? "interrupted." : "invalidated: " + failure_ + "."), std::nullopt};
    }

    // What the service said when it refused us, if it said it: {"refused": reason}, at most once.
    bool refusedBy(const std::optional<Value>& frame) {
        const Value* refused = frame ? frame->find("refused") : nullptr;
        if (!refused || !refused->isString()) return false;
        const std::lock_guard lock(mutex_);
        // The reason is the peer's text: one line, and not a long one.
        std::string reason = refused->asString()->substr(0, 512);
        std::replace_if(reason.begin(), reason.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        refusal_ = std::move(reason);
        return true;
    }

    bool invalidated() {
        const std::lock_guard lock(mutex_);
        return invalidated_;
    }

    void run() {
        int fd = establish();
        // The listener checks us before it hears anything; its first frame says it listens.
        if (fd >= 0) {
            {
                const std::lock_guard lock(mutex_);
                if (invalidated_) ::shutdown(fd, SHUT_RDWR);
                handshake_ = fd;
            }
            const timeval limit{static_cast<time_t>(handshakeDeadline), 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            const auto ready = readFrame(fd);
            const timeval none{};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
            {
                const std::lock_guard lock(mutex_);
                handshake_ = -1;
            }
            const Value* said = ready ? ready->find("ready") : nullptr;
            if (!said || *said != Value::boolean(true)) {
                ::close(fd);
                fd = -1;
                if (!refusedBy(ready)) fail("the service did not accept the connection");
            }
        }
        {
            const std::lock_guard lock(mutex_);
            if (fd >= 0 && !invalidated_) {
                fd_ = fd;
                for (const auto& frame : outgoing_)
                    if (!writeFrame(fd_, frame)) break;
                outgoing_.clear();
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        if (fd_ >= 0) {
            for (std::optional<Value> frame; (frame = readFrame(fd_)) && !refusedBy(frame);) {
                const Value* id = frame->find("id");
                const Value* body = frame->find("body");
                std::optional<Pending> waiting;
                {
                    const std::lock_guard lock(mutex_);
                    const auto found = id && id->isInteger() ? pending_.find(static_cast<std::uint64_t>(*id->integerValue()))
                                                             : pending_.end();
                    if (found != pending_.end()) {
                        waiting = std::move(found->second);
                        pending_.erase(found);
                    }
                }
                if (waiting && body) waiting->reply(*body);
                else if (waiting) waiting->error(XpcError{"The reply could not be decoded.", std::nullopt});
            }
            const std::lock_guard lock(mutex_);
            ::close(fd_);
            fd_ = -1;
        }
        failAll();
    }

    // Fails every request still waiting, once the connection has ended.
    void failAll() {
        std::map<std::uint64_t, Pending> waiting;
        XpcError reason;
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
            waiting.swap(pending_);
            outgoing_.clear();
            reason = endReason();
        }
        for (auto& [id, request] : waiting) request.error(reason);
    }

    void fail(std::string reason) {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(reason);
    }

    // A connected socket whose listener meets the requirement, or -1.
    int establish() {
        const auto folder = SocketFolder::open(machine_);
        if (!folder) {
            fail("the service sockets cannot be reached");
            return -1;
        }
        int fd = connectToService(*folder, name_);
        if (fd < 0 && (errno == ENOENT || errno == ECONNREFUSED)) fd = launch(*folder);
        else if (fd < 0) fail("failed at lookup");
        if (fd < 0) return -1;
        if (requirement_) {
            const auto pid = peerProcess(fd);
            if (!pid || signing_->checkProcess(*pid, *requirement_, {}).result != SignatureCheck::valid) {
                ::close(fd);
                fail("the peer does not meet the code signing requirement");
                return -1;
            }
        }
        return fd;
    }

    // Nobody listens: start the daemon that offers the service and wait until it does. One
    // connection at a time starts it; the others find it listening.
    int launch(const SocketFolder& folder) {
        const FileLock lock(folder.path() / name_);
        int fd = connectToService(folder, name_);
        if (fd >= 0) return fd;
        const auto job = launchJobForMachService(machine_, name_);
        if (!job) {
            fail("failed at lookup with error 3 - No such process");
            return -1;
        }
        const auto pid = ChildProcess::startDaemon(machine_, job->program.string());
        if (!pid) {
            fail(job->label + " could not be started");
            return -1;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(launchDeadline);
        while (!invalidated() && std::chrono::steady_clock::now() < deadline) {
            fd = connectToService(folder, name_);
            if (fd >= 0) return fd;
            // The wait ends early when the daemon ends without listening.
            if (waitForProcessEnd(*pid, launchStep)) {
                fd = connectToService(folder, name_);
                if (fd >= 0) return fd;
                fail(job->label + " exited without serving");
                return -1;
            }
        }
        fail(job->label + " did not start listening");
        return -1;
    }

    Machine machine_;
    const std::string name_;
    const std::shared_ptr<const CodeSigning> signing_;
    std::optional<std::string> requirement_;

    std::mutex mutex_;
    bool started_ = false;
    int fd_ = -1;
    int handshake_ = -1;  // connected, waiting for the listener's word
    bool invalidated_ = false;
    bool ended_ = false;
    std::string failure_;
    std::optional<std::string> refusal_;
    std::uint64_t nextId_ = 1;
    std::deque<Value> outgoing_;
    std::map<std::uint64_t, Pending> pending_;
};

class SocketXpcConnection final : public XpcConnection {
public:
    explicit SocketXpcConnection(std::shared_ptr<Link> link) : link_(std::move(link)) {}
    ~SocketXpcConnection() override { link_->invalidate(); }
    void setCodeSigningRequirement(std::string requirement) override { link_->setCodeSigningRequirement(std::move(requirement)); }
    void resume() override { link_->resume(); }
    void send(Value message, ReplyHandler reply, ErrorHandler error) override {
        link_->send(std::move(message), std::move(reply), std::move(error));
    }
    void invalidate() override { link_->invalidate(); }

private:
    std::shared_ptr<Link> link_;
};

}  // namespace

std::unique_ptr<XpcConnection> MachineXpcConnector::connectToMachService(std::string_view name) {
    return std::make_unique<SocketXpcConnection>(std::make_shared<Link>(machine_, std::string(name), signing_));
}

}  // namespace norvane
