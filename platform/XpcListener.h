#pragma once
// The listening end of a Mach service on the machine's service sockets. Each connection
// gets a thread of its own, on which its requests are handled one at a time. With a
// requirement, a peer whose code does not meet it is dropped before anything it sent is
// read.

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
    // True accepts the connection (with its exported object), false drops it.
    using Delegate = std::function<bool(Connection& connection)>;

    // `signing` must outlive the listener.
    XpcListener(Machine machine, std::string machService, const CodeSigning& signing);
    // Stops listening (the socket file goes, when it is still ours), ends every connection
    // and waits for their handlers.
    ~XpcListener();
    XpcListener(const XpcListener&) = delete;
    XpcListener& operator=(const XpcListener&) = delete;

    void setCodeSigningRequirement(std::string requirement);
    void setDelegate(Delegate delegate);
    // Starts listening, in place of any stale socket; the reason when it cannot.
    std::optional<std::string> resume();

    struct State;  // shared with the connections' threads

private:
    std::shared_ptr<State> state_;
};

}  // namespace norvane
