#include "app/shell/InstanceService.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "app/shell/Handoff.h"
#include "app/shell/Intents.h"

namespace norvane {

struct InstanceService::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;  // set on the main queue
    Answer answer;
};

namespace {

// Runs on the socket's thread: posts the request and waits for its answer.
Value relay(const std::shared_ptr<InstanceService::State>& state, MainQueue& queue, const Value& request) {
    auto reply = std::make_shared<std::optional<Value>>();
    queue.post([state, reply, request] {
        // `closed` is only ever set on this queue, so no lock is needed to read it here.
        if (state->closed) return;
        Value answer = state->answer(request);
        const std::lock_guard lock(state->mutex);
        *reply = std::move(answer);
        state->changed.notify_all();
    });
    std::unique_lock lock(state->mutex);
    const bool answered = state->changed.wait_for(lock, std::chrono::duration<double>(instanceAnswerSeconds),
                                                  [&] { return reply->has_value() || state->closed; });
    if (answered && reply->has_value()) return std::move(**reply);
    return errorReply(state->closed ? "Norvane is quitting." : "Norvane did not answer in time.");
}

}  // namespace

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
    return answerReply(perform(std::get<IntentRun>(run), target));
}

std::variant<std::unique_ptr<InstanceService>, std::string> InstanceService::listen(const Path& path, MainQueue& queue,
                                                                                    Answer answer) {
    auto state = std::make_shared<State>();
    state->answer = std::move(answer);
    auto server =
        InstanceServer::listen(path, [state, &queue](const Value& request) { return relay(state, queue, request); });
    if (auto* reason = std::get_if<std::string>(&server)) return std::move(*reason);
    std::unique_ptr<InstanceService> service(new InstanceService());
    service->state_ = std::move(state);
    service->server_ = std::move(std::get<std::unique_ptr<InstanceServer>>(server));
    return service;
}

InstanceService::~InstanceService() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->closed = true;
    }
    state_->changed.notify_all();
    server_.reset();  // waits for a request being handled, which now ends at once
}

}  // namespace norvane
