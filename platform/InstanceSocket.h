#pragma once
// The running application's socket, through which a second start of the program hands
// over what it was asked to do (URLs to open, an action to run) and gets one answer. A
// Unix stream socket in the user's runtime folder: one request and one reply per
// connection, each a frame of a 4-byte big-endian length and compact JSON. Only processes
// of the same user are heard, and a request is at most `maximumInstanceMessage` bytes.

#include <sys/types.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/Files.h"
#include "platform/Value.h"

namespace norvane {

inline constexpr std::size_t maximumInstanceMessage = 64 * 1024;

// "$XDG_RUNTIME_DIR/norvane.sock"; absent when the variable names no absolute folder.
std::optional<Path> instanceSocketPath();

// The server's bounds: each connection must deliver its whole request within
// `requestSeconds` of its start, and gets `lateReply` when no reply came `answerSeconds`
// after it was handed over. At most `connections` requests are being answered at once; a
// whole request that comes meanwhile waits, read but not handed over, for the first place to
// free, the oldest first. At most `sending` other connections are held, still sending or
// waiting so: a new one beyond takes the place of the oldest from which nothing has come,
// else of the oldest still sending, chosen only once what they sent has been read, so a
// request that has come is never turned away. Should every one hold a whole request by then,
// the newcomer comes in beyond them (one more than `sending`); while no place can be had,
// newcomers wait in the listening queue.
struct InstanceLimits {
    double requestSeconds = 5;
    double answerSeconds = 8;
    std::size_t connections = 16;
    std::size_t sending = 64;
    Value lateReply;
};

class InstanceServer {
public:
    // Sends the reply to a request: once, from any thread.
    using Reply = std::function<void(Value reply)>;
    // Gets each request on the server's thread; it must not block, and replies when it can.
    using Handler = std::function<void(const Value& request, Reply reply)>;

    // Listens at `path`, in place of a socket that no one listens on any more; the reason
    // when it cannot, above all when another process already listens there. Peers of
    // another user than `user` are dropped unheard. Connections are served side by side on
    // the server's one thread.
    static std::variant<std::unique_ptr<InstanceServer>, std::string> listen(const Path& path, Handler handler,
                                                                             uid_t user = ::geteuid(),
                                                                             InstanceLimits limits = {});
    // Stops listening, ends every connection, and removes the socket while it is still this
    // server's. A reply sent later goes nowhere.
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    struct State;  // shared with the server's thread

private:
    explicit InstanceServer(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

struct InstanceReply {
    enum class Status {
        noInstance,  // no process listens at the path
        failed,      // one listens but gave no answer in time (or is another user's)
        tooLarge,    // one listens, but the request is larger than it may be: not sent
        answered,
    };
    Status status = Status::noInstance;
    Value value;  // the answer
};

// Sends one request to the process listening at `path` and waits at most `seconds` for
// each step of the exchange.
InstanceReply askInstance(const Path& path, const Value& request, double seconds = 5);

}  // namespace norvane
