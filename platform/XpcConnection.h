#pragma once
// XPC: a connection to a named Mach service and the messages that cross it. Messages are
// values (dictionaries, strings, numbers, Booleans, null); each request gets one reply.
// The machine's implementation is a Unix stream socket per service (SocketXpc.h); tests
// pass fakes.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Value.h"

namespace norvane {

// Why no reply can come: the error's description, and the service's reason when the service
// looked at this process and refused it (it runs and answers, so starting it anew would not help).
struct XpcError {
    std::string description;
    std::optional<std::string> refusal;
};

class XpcConnection {
public:
    using ReplyHandler = std::function<void(const Value& reply)>;
    using ErrorHandler = std::function<void(const XpcError& error)>;

    // Invalidates the connection.
    virtual ~XpcConnection() = default;
    // The peer must meet this code-signing requirement, or the connection fails before
    // anything is sent. Set before resuming.
    virtual void setCodeSigningRequirement(std::string requirement) = 0;
    virtual void resume() = 0;
    // Sends a request; then either `reply` runs with the peer's reply, or `error` with the
    // reason none can come (the connection failed or was invalidated). Both run on the
    // connection's own thread, and only one of them.
    virtual void send(Value message, ReplyHandler reply, ErrorHandler error) = 0;
    // Ends the connection; requests still waiting get their error.
    virtual void invalidate() = 0;
};

class XpcConnector {
public:
    virtual ~XpcConnector() = default;
    // A new, suspended connection to the service in the system's domain.
    virtual std::unique_ptr<XpcConnection> connectToMachService(std::string_view name) = 0;
};

// What a listener exports on a connection: it is given each request and a function that
// sends the reply (once, from any thread). False when the request is none it knows; the
// connection is then dropped.
using XpcExported = std::function<bool(const Value& request, std::function<void(Value reply)> reply)>;

}  // namespace norvane
