#include "app/shell/InstanceService.h"

#include <map>
#include <mutex>
#include <optional>

#include "app/shell/Handoff.h"
#include "app/shell/Intents.h"

namespace norvane {

struct InstanceService::State {
    std::mutex mutex;
    bool closed = false;  // set on the main queue
    std::uint64_t next = 1;
    std::map<std::uint64_t, InstanceServer::Reply> waiting;  // replies not sent yet
    Answer answer;

    std::optional<InstanceServer::Reply> take(std::uint64_t id) {
        const std::lock_guard lock(mutex);
        const auto found = waiting.find(id);
        if (found == waiting.end()) return std::nullopt;
        auto reply = std::move(found->second);
        waiting.erase(found);
        return reply;
    }
};

namespace {

// Runs on the socket's thread: posts the request to the main queue, which replies.
void relay(const std::shared_ptr<InstanceService::State>& state, MainQueue& queue, const Value& request,
           InstanceServer::Reply reply) {
    std::uint64_t id = 0;
    {
        const std::lock_guard lock(state->mutex);
        if (state->closed) return reply(errorReply("Norvane is quitting."));
        id = state->next++;
        state->waiting.emplace(id, std::move(reply));
    }
    queue.post([state, id, request] {
        // `closed` is only ever set on this queue, so no lock is needed to read it here.
        if (state->closed) return;
        Value answer = state->answer(request);
        if (auto waiting = state->take(id)) (*waiting)(std::move(answer));
    });
}

}  // namespace

std::optional<std::string> handoffProblem(const InstanceReply& reply, const Path& path) {
    switch (reply.status) {
    case InstanceReply::Status::noInstance: return std::nullopt;
    case InstanceReply::Status::tooLarge:
        return "the URLs are too long to hand to the running copy (" + std::to_string(maximumInstanceMessage / 1024) +
               " KB at most)";
    case InstanceReply::Status::failed: return "another copy runs (" + path.string() + ") but does not answer";
    case InstanceReply::Status::answered: break;
    }
    const auto answer = readReply(reply.value);
    if (const auto* error = std::get_if<std::string>(&answer)) return *error;
    return std::nullopt;
}

Value answerHandoff(const Value& request, IntentTarget& target,
                    const std::function<void(const std::vector<std::string>&)>& open) {
    const auto handoff = readHandoff(request);
    if (!handoff) return errorReply("The request could not be read.");
    if (const auto* urls = std::get_if<OpenUrls>(&*handoff)) {
        open(urls->urls);
        return answerReply(Value());
    }
    const auto& intent = std::get<RunIntent>(*handoff);
    auto run = resolveIntent(intent.title, &intent.parameters);
    if (auto* error = std::get_if<std::string>(&run)) return errorReply(std::move(*error));
    auto outcome = perform(std::get<IntentRun>(run), target);
    if (auto* error = std::get_if<std::string>(&outcome)) return errorReply(std::move(*error));
    return answerReply(std::get<Value>(outcome));
}

std::variant<std::unique_ptr<InstanceService>, std::string> InstanceService::listen(const Path& path, MainQueue& queue,
                                                                                    Answer answer) {
    auto state = std::make_shared<State>();
    state->answer = std::move(answer);
    InstanceLimits limits;
    limits.answerSeconds = instanceAnswerSeconds;
    limits.lateReply = errorReply("Norvane did not answer in time.");
    auto server = InstanceServer::listen(
        path,
        [state, &queue](const Value& request, InstanceServer::Reply reply) { relay(state, queue, request, std::move(reply)); },
        ::geteuid(), std::move(limits));
    if (auto* reason = std::get_if<std::string>(&server)) return std::move(*reason);
    std::unique_ptr<InstanceService> service(new InstanceService());
    service->state_ = std::move(state);
    service->server_ = std::move(std::get<std::unique_ptr<InstanceServer>>(server));
    return service;
}

InstanceService::~InstanceService() {
    std::map<std::uint64_t, InstanceServer::Reply> waiting;
    {
        const std::lock_guard lock(state_->mutex);
        state_->closed = true;
        waiting.swap(state_->waiting);
    }
    for (auto& [id, reply] : waiting) reply(errorReply("Norvane is quitting."));
    server_.reset();
}

}  // namespace norvane
