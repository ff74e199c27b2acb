#include "platform/XpcListener.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/ProcessTable.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "platform/XpcSocket.h"

namespace norvane {
namespace {

using Clock = std::chrono::steady_clock;

// Replies may come from any thread, also after the connection has gone. False when the frame
// could not be handed to a connection still open (which then ends).
struct Writer {
    std::mutex mutex;
    int fd = -1;
    bool open = true;
    bool write(const Value& frame, double seconds) {
        const std::lock_guard lock(mutex);
        if (!open || writeFrameWithin(fd, frame, seconds)) return true;
        ::shutdown(fd, SHUT_RDWR);
        return false;
    }
};

std::string seconds(double value) { return formatGeneral(value) + " s"; }

constexpr std::string_view tooLargeFrame = "it announced a frame larger than any may be";

// What the exception being handled says, for the log.
std::string thrown() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an exception of no known kind";
    }
}

// A peer's identity as the kernel gives it: a pid names a process, whose start time tells
// it from a later one that got the same pid.
std::optional<std::uint64_t> startTime(std::int32_t pid) {
    const auto stat = readFile(procFile(pid, "stat"));
    if (!stat) return std::nullopt;
    // Fields after the command's closing parenthesis; the start time is the 22nd field.
    const auto close = stat->rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::size_t at = close + 2;
    for (int field = 3; field < 22 && at < stat->size(); ++field) at = stat->find(' ', at) + 1;
    if (at == 0 || at >= stat->size()) return std::nullopt;
    return std::strtoull(stat->c_str() + at, nullptr, 10);
}

}  // namespace

struct XpcListener::State {
    Machine machine;
    std::string name;
    const CodeSigning& signing;
    std::optional<std::string> requirement;
    Delegate delegate;
    EndLog endLog;
    Limits limits;

    std::optional<SocketFolder> folder;
    int listener = -1;
    int wake = -1;  // an eventfd: work done, or stop
    ino_t socketInode = 0;
    std::thread poller;
    std::vector<std::thread> workers;

    enum class Phase { checking, reading, busy };
    struct Connection {
        int fd = -1;
        Phase phase = Phase::checking;
        std::int32_t pid = 0;
        std::uint64_t started = 0;  // the peer's start time
        XpcExported exported;
        std::shared_ptr<Writer> writer;
        std::string buffer;                        // bytes of frames not yet handled
        std::optional<Clock::time_point> partial;  // when the frame being read began
        Clock::time_point idleSince = Clock::now();
        bool closed = false;  // the peer sent all it will: what is whole is answered, then it ends
    };
    std::map<std::uint64_t, Connection> connections;  // the poller's alone
    std::atomic<std::size_t> open{0};                 // how many, for any thread
    std::uint64_t nextConnection = 1;

    std::mutex mutex;
    std::condition_variable work;
    std::deque<std::function<void()>> jobs;                // checks that hash nothing, and requests
    std::deque<std::function<void()>> hashingJobs;         // checks that must hash, in their lane
    std::multimap<Clock::time_point, std::function<void()>> later;  // second looks, by when they are due
    std::size_t hashingNow = 0;                            // workers hashing now
    std::vector<std::pair<std::uint64_t, bool>> finished;  // connection, keep it
    bool stopping = false;

    State(Machine m, std::string n, const CodeSigning& s) : machine(std::move(m)), name(std::move(n)), signing(s) {}

    void submit(std::function<void()> job) {
        const std::lock_guard lock(mutex);
        jobs.push_back(std::move(job));
        work.notify_one();
    }
    // Queues a check that must hash; false, queuing nothing, when its lane is full. A job that
    // waited longer than its limit is told so (`late`) instead of being run.
    bool submitHashing(std::function<void(bool late)> job) {
        const std::lock_guard lock(mutex);
        if (hashingJobs.size() >= limits.hashingQueue) return false;
        hashingJobs.push_back([job = std::move(job), queued = Clock::now(), wait = limits.hashingWaitSeconds] {
            job(Clock::now() - queued > std::chrono::duration<double>(wait));
        });
        work.notify_all();
        return true;
    }
    // Queues a job to run once `seconds` have passed; no worker waits for it meanwhile.
    void submitLater(double seconds, std::function<void()> job) {
        const std::lock_guard lock(mutex);
        later.emplace(Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)),
                      std::move(job));
        work.notify_all();
    }
    // Moves the jobs that are due from `later` to the queue (the caller holds the mutex).
    void takeDue() {
        const auto now = Clock::now();
        while (!later.empty() && later.begin()->first <= now) {
            jobs.push_back(std::move(later.begin()->second));
            later.erase(later.begin());
        }
    }
    std::size_t hashingWorkers() const {
        const std::size_t all = std::max<std::size_t>(1, limits.workers);
        return all > 1 ? std::clamp<std::size_t>(limits.hashing, 1, all - 1) : 1;
    }
    bool hashingTurn() const { return !hashingJobs.empty() && hashingNow < hashingWorkers(); }
    // Notes a connection ended unanswered, for a reason other than its peer's code.
    void ended(std::int32_t pid, std::string reason) const {
        if (endLog) endLog({pid, false, std::move(reason)});
    }
    void finish(std::uint64_t id, bool keep) {
        {
            const std::lock_guard lock(mutex);
            finished.emplace_back(id, keep);
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wake, &one, sizeof one);
    }

    // Work that hashes nothing comes first; a check that must hash waits for a worker of its
    // lane.
    void runWorker() {
        for (;;) {
            std::function<void()> job;
            bool hashing = false;
            {
                std::unique_lock lock(mutex);
                const auto ready = [this] {
                    takeDue();
                    return stopping || !jobs.empty() || hashingTurn();
                };
                while (!ready()) {
                    if (later.empty()) {
                        work.wait(lock);
                        continue;
                    }
                    // A copy: the wait reads its time again once it wakes, and by then another
                    // worker may have taken that look and freed where its time was kept.
                    const Clock::time_point due = later.begin()->first;
                    work.wait_until(lock, due);
                }
                if (!jobs.empty()) {
                    job = std::move(jobs.front());
                    jobs.pop_front();
                } else if (hashingTurn()) {
                    job = std::move(hashingJobs.front());
                    hashingJobs.pop_front();
                    hashing = true;
                    ++hashingNow;
                } else {
                    return;
                }
            }
            job();
            if (hashing) {
                const std::lock_guard lock(mutex);
                --hashingNow;
                work.notify_all();
            }
        }
    }

    enum class Verdict { heard, refused, needsHashing, lookAgain };

    // How deep a check goes: first it hashes nothing and waits for nothing; a check that would
    // have to hash goes to its lane, where it may also wait for its second look; one whose pages
    // need a second look is queued again for it, and then those pages count as written.
    static constexpr CheckDepth firstLook{false, SecondLook::later}, secondLook{false, SecondLook::none},
        hashingLook{true, SecondLook::wait};

    // A pid from credentials names the sender only within our own namespaces: a process that
    // made a pid namespace of its own may name any process of it, so a peer in another user or
    // pid namespace is never heard. A check that would have to hash, or look again, says so.
    // A peer whose code fails the requirement is told why (`writer`), and so is the log.
    Verdict judge(std::int32_t pid, const CheckDepth& depth, Writer& writer, bool handshake) const {
        if (!inOwnNamespaces(pid)) {
            ended(pid, "it runs in another user or pid namespace");
            return Verdict::refused;
        }
        if (!requirement) return Verdict::heard;
        const ProcessCheck check = signing.checkProcess(pid, *requirement, depth);
        if (check.result == SignatureCheck::valid) return Verdict::heard;
        if (check.result == SignatureCheck::needsHashing && !depth.hash) return Verdict::needsHashing;
        if (check.result == SignatureCheck::unsettled && depth.breakpoints == SecondLook::later) return Verdict::lookAgain;
        const std::string& reason = check.reason;
        if (endLog) endLog({pid, true, reason});
        Value::Dictionary refused;
        if (handshake) refused.emplace("ready", Value::boolean(false));
        refused.emplace("refused", Value::string(reason));
        writer.write(Value::dictionary(std::move(refused)), std::min(limits.writeSeconds, 1.0));
        return Verdict::refused;
    }

    // On a worker: the peer that connected is checked; only then is what it already sent
    // thrown away unread and the peer told to speak. Data queued before the check may come
    // from the program the process ran before it executed the signed one.
    // A check or request that throws refuses the peer; the worker lives on.
    // A check that must hash goes to its lane, and is refused when that is full or it waited
    // there too long. There it runs whole again, the look at the process too: the peer may
    // have changed while it waited, and beside the hashing the rest costs little.
    // A check that must look again goes back to the queue a moment later, a worker free
    // meanwhile. Either way the connection stays unread until the check ends.
    void check(std::uint64_t id, int fd, std::shared_ptr<Writer> writer, XpcExported* exported, std::int32_t* pid,
               std::uint64_t* started, CheckDepth depth = firstLook) {
        Verdict verdict = Verdict::refused;
        try {
            verdict = checkPeer(fd, writer, exported, pid, started, depth);
        } catch (...) {
            ended(peerProcess(fd).value_or(0), "its check failed: " + thrown());
            verdict = Verdict::refused;
        }
        const auto again = [this, id, fd, writer, exported, pid, started](CheckDepth deeper) {
            check(id, fd, writer, exported, pid, started, deeper);
        };
        if (follow(id, peerProcess(fd).value_or(0), verdict, again)) return;
        finish(id, verdict == Verdict::heard);
    }
    void handle(std::uint64_t id, std::string text, const XpcExported& exported, std::int32_t pid,
                std::uint64_t started, std::shared_ptr<Writer> writer, CheckDepth depth = firstLook) {
        Verdict verdict = Verdict::refused;
        try {
            verdict = handleRequest(text, exported, pid, started, writer, depth);
        } catch (...) {
            ended(pid, "its request failed: " + thrown());
            verdict = Verdict::refused;
        }
        const auto again = [this, id, text = std::make_shared<std::string>(std::move(text)), &exported, pid, started,
                            writer](CheckDepth deeper) { handle(id, *text, exported, pid, started, writer, deeper); };
        if (follow(id, pid, verdict, again)) return;
        finish(id, verdict == Verdict::heard);
    }
    // Queues the deeper look a verdict asks for; false when there is none to take (then the
    // job ends), also when the hashing lane is full.
    template <class Again>
    bool follow(std::uint64_t id, std::int32_t pid, Verdict verdict, const Again& again) {
        if (verdict == Verdict::lookAgain) {
            submitLater(limits.secondLookSeconds, [again] { again(secondLook); });
            return true;
        }
        if (verdict != Verdict::needsHashing) return false;
        const bool queued = submitHashing([this, id, pid, again](bool late) {
            if (!late) return again(hashingLook);
            ended(pid, "its bundle waited more than " + seconds(limits.hashingWaitSeconds) + " to be hashed");
            finish(id, false);
        });
        if (!queued) ended(pid, "more checks than " + std::to_string(limits.hashingQueue) + " waited to hash their bundles");
        return queued;
    }

    Verdict checkPeer(int fd, const std::shared_ptr<Writer>& writer, XpcExported* exported, std::int32_t* pid,
                      std::uint64_t* started, const CheckDepth& depth) {
        const auto peer = peerProcess(fd);
        const auto since = peer ? startTime(*peer) : std::nullopt;
        XpcListener::Connection offered;
        offered.pid = peer.value_or(0);
        if (!since) {
            ended(offered.pid, peer ? "its process ended before it was checked" : "its sender cannot be told");
            return Verdict::refused;
        }
        const Verdict verdict = judge(*peer, depth, *writer, true);
        if (verdict != Verdict::heard) return verdict;
        const bool accepted = delegate && delegate(offered) && offered.exported;
        if (!accepted) ended(*peer, "the service did not take the connection");
        if (accepted) {
            char discard[4096];
            while (::recv(fd, discard, sizeof discard, MSG_DONTWAIT) > 0) {
            }
            *exported = std::move(offered.exported);
            *pid = *peer;
            *started = *since;
            Value::Dictionary ready;
            ready.emplace("ready", Value::boolean(true));
            if (!writer->write(Value::dictionary(std::move(ready)), limits.writeSeconds)) {
                ended(*peer, "it could not be told to speak within " + seconds(limits.writeSeconds));
                return Verdict::refused;
            }
        }
        return accepted ? Verdict::heard : Verdict::refused;
    }

    // On a worker: one request, from the process checked first, which must still be the
    // same process and still run the signed code.
    Verdict handleRequest(const std::string& text, const XpcExported& exported, std::int32_t pid, std::uint64_t started,
                          const std::shared_ptr<Writer>& writer, const CheckDepth& depth) {
        const auto frame = parseJson(text);
        const Value* number = frame ? frame->find("id") : nullptr;
        const Value* body = frame ? frame->find("body") : nullptr;
        if (!number || !number->isInteger() || !body) {
            ended(pid, "it sent a frame that is no request");
            return Verdict::refused;
        }
        if (startTime(pid) != started) {
            ended(pid, "its process is no longer the one that was checked");
            return Verdict::refused;
        }
        const Verdict verdict = judge(pid, depth, *writer, false);
        if (verdict != Verdict::heard) return verdict;
        const double within = limits.writeSeconds;
        auto reply = [this, writer, pid, within, n = static_cast<std::uint64_t>(*number->integerValue())](Value answer) {
            bool written = true;
            {
                const std::lock_guard lock(writer->mutex);
                written = !writer->open || writeFrameWithin(writer->fd, framed(n, std::move(answer)), within);
                if (!written) ::shutdown(writer->fd, SHUT_RDWR);
            }
            if (!written) ended(pid, "its reply could not be handed to it within " + seconds(within));
        };
        if (exported(*body, std::move(reply))) return Verdict::heard;
        ended(pid, "it asked for something the service does not offer");
        return Verdict::refused;
    }

    // Ends a connection; one ended before it was answered is noted with its reason, once it is
    // gone.
    void close(std::map<std::uint64_t, Connection>::iterator it, const std::string& why = {}) {
        // A connection not checked yet knows no pid of its own.
        const std::int32_t pid = it->second.pid || why.empty() ? it->second.pid : peerProcess(it->second.fd).value_or(0);
        {
            const std::lock_guard lock(it->second.writer->mutex);
            it->second.writer->open = false;
        }
        ::close(it->second.fd);
        connections.erase(it);
        open = connections.size();
        if (!why.empty()) ended(pid, why);
    }

    // Reads what the peer sent, each piece with its sender's credentials; false, with the reason,
    // when the connection must end: a piece came without credentials or from another process
    // than the one checked, or a frame would be too large. The end of the stream only marks it
    // closed.
    bool receive(Connection& c, std::string& why) {
        for (;;) {
            char bytes[16384];
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
            iovec io{bytes, sizeof bytes};
            msghdr message{};
            message.msg_iov = &io;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(c.fd, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            if (n < 0) {
                why = std::string("what it sent could not be read: ") + std::strerror(errno);
                return false;
            }
            if (n == 0) {
                c.closed = true;
                return true;
            }
            std::optional<ucred> sender;
            for (cmsghdr* h = CMSG_FIRSTHDR(&message); h; h = CMSG_NXTHDR(&message, h))
                if (h->cmsg_level == SOL_SOCKET && h->cmsg_type == SCM_CREDENTIALS && h->cmsg_len == CMSG_LEN(sizeof(ucred))) {
                    ucred credentials{};
                    std::memcpy(&credentials, CMSG_DATA(h), sizeof credentials);
                    sender = credentials;
                }
            if (!sender || sender->pid <= 0) {
                why = "a piece of what it sent came without its sender";
                return false;
            }
            if (sender->pid != c.pid) {
                why = "a piece of what it sent came from another process (pid " + std::to_string(sender->pid) + ")";
                return false;
            }
            if (c.buffer.empty()) c.partial = Clock::now();
            c.buffer.append(bytes, static_cast<std::size_t>(n));
            if (c.buffer.size() > 4 + maximumFrameSize) {
                why = tooLargeFrame;
                return false;
            }
        }
    }

    // The next whole frame's text, taken out of the buffer; absent while it is not whole.
    // A frame announced larger than any may be ends the connection (`tooLarge`).
    static std::optional<std::string> nextFrame(Connection& c, bool& tooLarge) {
        if (c.buffer.size() < 4) return std::nullopt;
        const auto* b = reinterpret_cast<const unsigned char*>(c.buffer.data());
        const std::size_t size = std::size_t{b[0]} << 24 | std::size_t{b[1]} << 16 | std::size_t{b[2]} << 8 | b[3];
        if (size > maximumFrameSize) {
            tooLarge = true;
            return std::nullopt;
        }
        if (c.buffer.size() < 4 + size) return std::nullopt;
        std::string text = c.buffer.substr(4, size);
        c.buffer.erase(0, 4 + size);
        c.partial = c.buffer.empty() ? std::nullopt : std::optional(Clock::now());
        return text;
    }

    // Hands the connection's next whole frame to a worker; false when it must end (also when
    // the peer has closed and no whole frame is left: then without a reason).
    bool dispatch(std::uint64_t id, Connection& c, std::string& why) {
        bool tooLarge = false;
        auto text = nextFrame(c, tooLarge);
        if (tooLarge) {
            why = tooLargeFrame;
            return false;
        }
        if (!text) return !c.closed;
        c.phase = Phase::busy;
        submit([this, id, text = std::move(*text), exported = &c.exported, pid = c.pid, started = c.started,
                writer = c.writer]() mutable { handle(id, std::move(text), *exported, pid, started, writer); });
        return true;
    }

    void accept() {
        for (;;) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) return;
            // No more at once than the limit: a new one beyond it is closed unheard.
            if (connections.size() >= limits.connections) {
                ended(peerProcess(fd).value_or(0),
                      "more connections than " + std::to_string(limits.connections) + " were open at once");
                ::close(fd);
                continue;
            }
            const std::uint64_t id = nextConnection++;
            Connection& c = connections[id];
            open = connections.size();
            c.fd = fd;
            c.writer = std::make_shared<Writer>();
            c.writer->fd = fd;
            submit([this, id, fd, writer = c.writer, exported = &c.exported, pid = &c.pid, started = &c.started] {
                check(id, fd, writer, exported, pid, started);
            });
        }
    }

    void takeFinished() {
        std::vector<std::pair<std::uint64_t, bool>> done;
        {
            const std::lock_guard lock(mutex);
            done.swap(finished);
        }
        for (const auto& [id, keep] : done) {
            const auto it = connections.find(id);
            if (it == connections.end()) continue;
            Connection& c = it->second;
            if (!keep) {
                close(it);
                continue;
            }
            c.phase = Phase::reading;
            c.idleSince = Clock::now();
            std::string why;
            if (!dispatch(id, c, why)) close(it, why);
        }
    }

    // Ends connections past their deadlines: a frame begun and not finished in time, or a
    // connection that asked nothing for too long.
    void expire() {
        const auto now = Clock::now();
        const auto over = [now](Clock::time_point since, double seconds) {
            return now - since > std::chrono::duration<double>(seconds);
        };
        for (auto it = connections.begin(); it != connections.end();) {
            const auto next = std::next(it);
            const Connection& c = it->second;
            if (c.phase == Phase::reading && c.partial && over(*c.partial, limits.frameSeconds))
                close(it, "a frame of it was not whole within " + seconds(limits.frameSeconds));
            else if (c.phase == Phase::reading && !c.partial && over(c.idleSince, limits.idleSeconds))
                close(it, "it asked nothing for " + seconds(limits.idleSeconds));
            it = next;
        }
    }

    void poll() {
        run();
        // Whatever a worker still writes goes nowhere: each connection counts as left unanswered.
        // Done here, by the connections' owner, before the listener's end waits for the workers.
        for (const auto& [id, c] : connections) {
            const std::lock_guard lock(c.writer->mutex);
            c.writer->open = false;
            ::shutdown(c.fd, SHUT_RDWR);
        }
    }
    void run() {
        for (;;) {
            std::vector<pollfd> fds{{wake, POLLIN, 0}, {listener, POLLIN, 0}};
            std::vector<std::uint64_t> ids;
            for (const auto& [id, c] : connections)
                if (c.phase == Phase::reading && !c.closed) {
                    fds.push_back({c.fd, POLLIN, 0});
                    ids.push_back(id);
                }
            if (::poll(fds.data(), fds.size(), 250) < 0 && errno != EINTR) return;
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto n = ::read(wake, &count, sizeof count);
                const std::lock_guard lock(mutex);
                if (stopping) return;
            }
            takeFinished();
            if (fds[1].revents & POLLIN) accept();
            for (std::size_t i = 0; i < ids.size(); ++i) {
                if (!fds[i + 2].revents) continue;
                const auto it = connections.find(ids[i]);
                if (it == connections.end() || it->second.phase != Phase::reading) continue;
                std::string why;
                if (!receive(it->second, why) || !dispatch(ids[i], it->second, why)) close(it, why);
            }
            expire();
        }
    }
};

XpcListener::XpcListener(Machine machine, std::string machService, const CodeSigning& signing)
    : state_(std::make_shared<State>(std::move(machine), std::move(machService), signing)) {}

XpcListener::~XpcListener() {
    if (state_->listener >= 0) {
        {
            const std::lock_guard lock(state_->mutex);
            state_->stopping = true;
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(state_->wake, &one, sizeof one);
        if (state_->poller.joinable()) state_->poller.join();
        // Requests being handled end; those not begun are dropped.
        {
            const std::lock_guard lock(state_->mutex);
            state_->jobs.clear();
            state_->hashingJobs.clear();
            state_->later.clear();
            state_->work.notify_all();
        }
        for (auto& worker : state_->workers) worker.join();
        // Those checked or asking meanwhile are left unanswered.
        while (!state_->connections.empty()) {
            const auto it = state_->connections.begin();
            const bool asking = it->second.phase != State::Phase::reading || !it->second.buffer.empty();
            state_->close(it, asking ? "the service stopped before it answered" : "");
        }
        // The name goes only while it is still ours: a later listener may have taken it.
        struct stat now {};
        const Path path = state_->folder->path() / state_->name;
        if (::stat(path.c_str(), &now) == 0 && now.st_ino == state_->socketInode) ::unlink(path.c_str());
        ::close(state_->listener);
    }
    if (state_->wake >= 0) ::close(state_->wake);
}

void XpcListener::setCodeSigningRequirement(std::string requirement) { state_->requirement = std::move(requirement); }

void XpcListener::setDelegate(Delegate delegate) { state_->delegate = std::move(delegate); }

void XpcListener::setEndLog(EndLog log) { state_->endLog = std::move(log); }

void XpcListener::setLimits(Limits limits) { state_->limits = limits; }

bool XpcListener::busy() const {
    if (state_->open > 0) return true;
    if (state_->listener < 0) return false;
    pollfd waiting{state_->listener, POLLIN, 0};
    return ::poll(&waiting, 1, 0) > 0 && (waiting.revents & POLLIN);
}

std::optional<std::string> XpcListener::resume() {
    if (state_->listener >= 0) return std::nullopt;
    state_->folder = SocketFolder::open(state_->machine);
    if (!state_->folder) return "the service sockets cannot be reached";
    // Bound and listening under a name of its own first, then renamed over the service's
    // name: a client never finds a socket that refuses it while we start. The name is random,
    // not the pid: listeners of two PID namespaces may share the folder and a pid.
    std::random_device random;
    const auto temporaryName = [&] { return "." + state_->name + "." + std::to_string(random()); };
    // The longest name a random number gives must fit as well.
    if (!state_->folder->address(state_->name) || !state_->folder->address("." + state_->name + ".4294967295"))
        return "the service name cannot be a socket name";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return std::string("no socket: ") + std::strerror(errno);
    // Every piece any peer sends carries its sender's credentials, also what it sends before
    // its connection is accepted.
    const int on = 1;
    bool bound = false;
    std::string temporary;
    if (::setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) == 0)
        for (int attempt = 0; attempt < 16 && !bound && (attempt == 0 || errno == EADDRINUSE); ++attempt) {
            temporary = temporaryName();
            const auto address = state_->folder->address(temporary);
            bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0;
        }
    struct stat made {};
    if (!bound || ::fchmodat(state_->folder->fd(), temporary.c_str(), socketMode, 0) != 0 || ::listen(fd, 64) != 0 ||
        ::fstatat(state_->folder->fd(), temporary.c_str(), &made, 0) != 0 ||
        ::renameat(state_->folder->fd(), temporary.c_str(), state_->folder->fd(), state_->name.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(fd);
        if (bound) ::unlinkat(state_->folder->fd(), temporary.c_str(), 0);
        return "cannot listen on " + state_->name + ": " + reason;
    }
    state_->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state_->wake < 0) {
        ::close(fd);
        return std::string("no event descriptor: ") + std::strerror(errno);
    }
    state_->listener = fd;
    state_->socketInode = made.st_ino;
    for (std::size_t i = 0; i < std::max<std::size_t>(1, state_->limits.workers); ++i)
        state_->workers.emplace_back([state = state_.get()] { state->runWorker(); });
    state_->poller = std::thread([state = state_.get()] { state->poll(); });
    return std::nullopt;
}

}  // namespace norvane
