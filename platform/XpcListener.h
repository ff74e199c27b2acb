#pragma once
// The listening end of a Mach service on the machine's service sockets. One thread watches
// every connection and reads what arrives, each piece with its sender's credentials
// (SCM_CREDENTIALS); a bounded pool of workers checks peers and handles requests, each
// connection's one at a time. A new connection's peer is checked first (with a requirement,
// its code must meet it), and only then is it told to speak: what it sent before is thrown
// away unread. Every request must come from that same process (same pid and start time),
// whose code is checked again for it; a piece without credentials or from any other process
// ends the connection. How many connections at once, how long a frame may take and how long a
// connection may stay silent are bounded (Limits).
//
// Checks that must hash a bundle (a sealed file whose digest is not known yet) wait in a lane of
// their own, which only some of the workers serve: a flood of peers with large bundles keeps
// those hashing, while the others answer every check that hashes nothing and every request at
// once. The hashing lane's queue is bounded, and a check that waited too long for it is refused.
// A check whose code pages must be looked at again a moment later (breakpoints a probe being
// removed may leave) is queued again for that, and holds no worker while it waits. Every
// connection ended before it was answered is told to the end log, with why.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/CodeSigning.h"
#include "platform/Machine.h"
#include "platform/XpcConnection.h"

namespace norvane {

class XpcListener {
public:
    // A connection offered to the delegate, which sets what is exported on it.
    struct Connection {
        std::int32_t pid = 0;
        XpcExported exported;
    };
    // True accepts the connection (with its exported object), false drops it. Run on a
    // worker thread.
    using Delegate = std::function<bool(Connection& connection)>;
    // A connection the listener ended before it answered what the peer asked (or before it told
    // the peer to speak): the peer (0 where it cannot be told), whether its code failed the
    // requirement, and why in words. A refused peer is told the same reason ({"refused": …})
    // before its connection ends, so it can tell a refusal from a service that does not answer;
    // any other end (a piece from another process, a check that failed, a frame too large, the
    // listener stopping) the peer sees only as the end of the connection.
    struct Ended {
        std::int32_t pid = 0;
        bool refused = false;
        std::string reason;
        bool operator==(const Ended&) const = default;
    };
    // Told of every such connection, on a worker or the listening thread.
    using EndLog = std::function<void(const Ended& ended)>;

    struct Limits {
        std::size_t workers = 4;       // threads that check peers and handle requests
        std::size_t connections = 64;  // open at once; one more is closed unheard
        double frameSeconds = 10;      // from a frame's first byte to its last
        double idleSeconds = 30;       // a connection that asks nothing is closed
        double writeSeconds = 5;       // to hand a reply to the peer
        std::size_t hashing = 3;       // workers that may hash at once (at least one, and one
                                       // fewer than the workers where there are several)
        std::size_t hashingQueue = 4;  // checks waiting to hash; one more is refused at once
        double hashingWaitSeconds = 10;  // a check that waited longer to hash is refused
        double secondLookSeconds = norvane::secondLookSeconds;  // code pages looked at again after,
                                                                 // no worker held meanwhile
    };

    // `signing` must outlive the listener.
    XpcListener(Machine machine, std::string machService, const CodeSigning& signing);
    // Stops listening (the socket file goes, when it is still ours), ends every connection
    // and waits for their handlers.
    ~XpcListener();
    XpcListener(const XpcListener&) = delete;
    XpcListener& operator=(const XpcListener&) = delete;

    void setCodeSigningRequirement(std::string requirement);
    void setDelegate(Delegate delegate);
    void setEndLog(EndLog log);  // before resuming
    void setLimits(Limits limits);  // before resuming
    // Starts listening, in place of any stale socket; the reason when it cannot.
    std::optional<std::string> resume();
    // Whether a connection is open (its peer being checked, asking, or silent) or waits to be
    // accepted. From any thread.
    bool busy() const;

    struct State;  // shared with the connections' threads

private:
    std::shared_ptr<State> state_;
};

}  // namespace norvane
