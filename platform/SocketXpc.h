#pragma once
// XPC over the machine folder's service sockets. A connection connects on its own thread
// when resumed; when no one listens on the service (no socket file, or a stale one whose
// connect is refused), it starts the enabled daemon that offers the service as launchd does
// (detached, with launchd's environment and the machine, never the caller's environment), and
// waits for it to listen. With a
// requirement, the listener's code must meet it before anything is sent; nothing is sent
// either before the listener, having checked us, says it listens (up to 30 s).

#include <memory>

#include "platform/CodeSigning.h"
#include "platform/Machine.h"
#include "platform/XpcConnection.h"

namespace norvane {

class MachineXpcConnector final : public XpcConnector {
public:
    // A connection's thread keeps `signing` as long as it runs: invalidating a connection or
    // destroying it never waits for that thread (a check of the peer may be under way).
    MachineXpcConnector(Machine machine, std::shared_ptr<const CodeSigning> signing)
        : machine_(std::move(machine)), signing_(std::move(signing)) {}
    std::unique_ptr<XpcConnection> connectToMachService(std::string_view name) override;

private:
    Machine machine_;
    std::shared_ptr<const CodeSigning> signing_;
};

}  // namespace norvane
