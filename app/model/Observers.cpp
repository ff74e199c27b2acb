#include "app/model/Observers.h"

#include <algorithm>
#include <utility>

namespace norvane {

Observers::Subscription::Subscription(Subscription&& other) noexcept
    : state_(std::move(other.state_)), id_(std::exchange(other.id_, 0)) {}

Observers::Subscription& Observers::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        cancel();
        state_ = std::move(other.state_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void Observers::Subscription::cancel() {
    if (const auto state = state_.lock()) state->entries.erase(id_);
    state_.reset();
    id_ = 0;
}

Observers::Observers() : state_(std::make_shared<State>()) {}

Observers::~Observers() { state_->closed = true; }

Observers::Subscription Observers::subscribe(std::vector<ModelField> fields, std::function<void()> changed) {
    const std::uint64_t id = state_->next++;
    state_->entries.emplace(id, Entry{std::move(fields), std::make_shared<std::function<void()>>(std::move(changed))});
    return Subscription(state_, id);
}

void Observers::changed(ModelField field) {
    // The state is held for the whole round: a callback may destroy the model and with it
    // these observers.
    const std::shared_ptr<State> state = state_;
    std::vector<std::uint64_t> due;
    for (const auto& [id, entry] : state->entries)
        if (std::find(entry.fields.begin(), entry.fields.end(), field) != entry.fields.end()) due.push_back(id);
    for (const std::uint64_t id : due) {
        if (state->closed) return;
        const auto it = state->entries.find(id);
        if (it == state->entries.end()) continue;  // ended by an earlier callback
        const auto changed = it->second.changed;    // the callback may end its own subscription
        (*changed)();
    }
}

}  // namespace norvane
