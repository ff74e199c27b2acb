#pragma once
// The running application's end of the instance socket: each request of a second start is
// answered on the main queue, where the model lives; the socket's thread serves the other
// connections meanwhile, and answers for the main queue when it takes too long.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/InstanceSocket.h"
#include "platform/MainQueue.h"

namespace norvane {

// How long a request waits for the main queue; a second start waits a little longer for the
// reply.
inline constexpr double instanceAnswerSeconds = 8;
inline constexpr double instanceAskSeconds = 10;
// How many URLs one hand-off opens; the others are refused with a reason.
inline constexpr std::size_t maximumHandoffUrls = 16;

class IntentTarget;

// What a second start says when its hand-off did not go through, naming the socket at
// `path`; nothing when it was answered without an error.
std::optional<std::string> handoffProblem(const InstanceReply& reply, const Path& path);

// The running application's reply to a request: URLs go to `open` (the reply's result is
// null; beyond `maximumHandoffUrls` only the first are opened and the reply says how many
// were not; when `open` refuses them, busy with earlier ones, the reply says none were), an
// action runs on `target` with its parameters read strictly (what is wrong with them is the
// error). A request of neither form is an error.
Value answerHandoff(const Value& request, IntentTarget& target,
                    const std::function<bool(const std::vector<std::string>&)>& open);

class InstanceService {
public:
    // `answer` runs on the main queue; `queue` must outlive the service. A request the main
    // queue reaches only after the socket has answered for it (late) is dropped unanswered.
    using Answer = std::function<Value(const Value& request)>;

    // Listens at `path`; the reason when it cannot (another instance listens there, the
    // folder is missing, …).
    static std::variant<std::unique_ptr<InstanceService>, std::string> listen(const Path& path, MainQueue& queue,
                                                                              Answer answer);
    // A request still waiting for the main queue is answered with an error at once, and
    // `answer` is never called again.
    ~InstanceService();
    InstanceService(const InstanceService&) = delete;
    InstanceService& operator=(const InstanceService&) = delete;

    struct State;  // shared with the socket's thread and the posted work

private:
    InstanceService() = default;
    std::shared_ptr<State> state_;
    std::unique_ptr<InstanceServer> server_;
};

}  // namespace norvane
