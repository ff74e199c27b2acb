#pragma once
// The interface the helper serves and the application calls. Each request is answered
// exactly once: nothing when the change was made, else the text the user is shown as the
// reason (which may be empty).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/XpcConnection.h"

namespace norvane {

class HelperProtocol {
public:
    using Reply = std::function<void(std::optional<std::string>)>;
    virtual ~HelperProtocol() = default;
    virtual void setLowPower(bool on, Reply reply) = 0;
    virtual void setPowerMode(std::int64_t mode, Reply reply) = 0;
};

// The remote object of a connection: each call is one request on it. `error` hears when a
// request's reply cannot come, or came in a form the interface does not have.
class HelperProxy final : public HelperProtocol {
public:
    HelperProxy(XpcConnection& connection, XpcConnection::ErrorHandler error)
        : connection_(connection), error_(std::move(error)) {}
    void setLowPower(bool on, Reply reply) override;
    void setPowerMode(std::int64_t mode, Reply reply) override;

private:
    void send(std::string_view selector, Value argument, Reply reply);
    XpcConnection& connection_;
    XpcConnection::ErrorHandler error_;
};

// The exported side: hands each request of the interface to `object`, which must outlive
// the connections.
XpcExported exportHelper(HelperProtocol& object);

}  // namespace norvane
