#pragma once
// Who is told when a field of the model changes. A subscription names the fields it reads
// and ends when it is destroyed; it may outlive the model, and a callback may end
// subscriptions, add new ones or destroy the model while it is being told.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/model/ModelField.h"

namespace norvane {

class Observers {
    struct State;

public:
    class Subscription {
    public:
        Subscription() = default;
        ~Subscription() { cancel(); }
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        void cancel();

    private:
        friend class Observers;
        Subscription(std::weak_ptr<State> state, std::uint64_t id) : state_(std::move(state)), id_(id) {}
        std::weak_ptr<State> state_;
        std::uint64_t id_ = 0;
    };

    Observers();
    // Nothing is told any more, also not the rest of a notification under way.
    ~Observers();
    Observers(const Observers&) = delete;
    Observers& operator=(const Observers&) = delete;

    [[nodiscard]] Subscription subscribe(std::vector<ModelField> fields, std::function<void()> changed);
    // Tells each subscriber of the field, in the order they subscribed.
    void changed(ModelField field);

private:
    struct Entry {
        std::vector<ModelField> fields;
        std::shared_ptr<std::function<void()>> changed;
    };
    struct State {
        std::map<std::uint64_t, Entry> entries;
        std::uint64_t next = 1;
        bool closed = false;
    };
    std::shared_ptr<State> state_;
};

}  // namespace norvane
