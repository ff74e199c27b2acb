#include "app/shell/InstanceService.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>

#include "app/shell/Handoff.h"
#include "app/shell/Intents.h"

namespace norvane {

struct InstanceService::State {
    using Clock = std::chrono::steady_clock;
    struct Waiting {
        InstanceServer::Reply reply;
        Clock::time_point deadline;  // when the socket answers for the main queue
    };
    std::mutex mutex;
    bool closed = false;  // set on the main queue
    std::uint64_t next = 1;
    std::map<std::uint64_t, Waiting> waiting;  // replies not sent yet
    Answer answer;

    std::optional<Waiting> take(std::uint64_t id) {
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
        const auto deadline = InstanceService::State::Clock::now() + std::chrono::duration_cast<InstanceService::State::Clock::duration>(
                                                        std::chrono::duration<double>(instanceAnswerSeconds));
        state->waiting.emplace(id, InstanceService::State::Waiting{std::move(reply), deadline});
    }
    queue.post([state, id, request] {
        // `closed` is only ever set on this queue, so no lock is needed to read it here.
        if (state->closed) return;
        auto waiting = state->take(id);
        // Work whose answer is already given (late, by the socket) is not done at all.
        if (!waiting || InstanceService::State::Clock::now() >= waiting->deadline) return;
        waiting->reply(state->answer(request));
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
                    const std::function<bool(const std::vector<std::string>&)>& open) {
    const auto handoff = readHandoff(request);
    if (!handoff) return errorReply("The request could not be read.");
    if (const auto* urls = std::get_if<OpenUrls>(&*handoff)) {
        // A hand-off is a few links: more would hold the main queue for every one.
        const std::size_t taken = std::min(urls->urls.size(), maximumHandoffUrls);
        if (!open({urls->urls.begin(), urls->urls.begin() + static_cast<std::ptrdiff_t>(taken)}))
            return errorReply("Norvane is busy with earlier URLs, so these were not opened; try again in a moment.");
        if (taken == urls->urls.size()) return answerReply(Value());
        const std::size_t left = urls->urls.size() - maximumHandoffUrls;
        return errorReply("Norvane opens at most " + std::to_string(maximumHandoffUrls) + " URLs at a time, so " +
                          (left == 1 ? std::string("the last one was") : "the last " + std::to_string(left) + " were") +
                          " not opened.");
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
    std::map<std::uint64_t, State::Waiting> waiting;
    {
        const std::lock_guard lock(state_->mutex);
        state_->closed = true;
        waiting.swap(state_->waiting);
    }
    for (auto& [id, request] : waiting) request.reply(errorReply("Norvane is quitting."));
    server_.reset();
}

}  // namespace norvane
