#pragma once
// The far end of the helper client for tests: a signature with or without a team, and an
// XPC connector whose helper answers from a script in virtual time and records what it
// was sent.

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CodeSigning.h"
#include "platform/VirtualQueue.h"
#include "platform/XpcConnection.h"

namespace norvane::testing {

struct FakeSigning final : CodeSigning {
    std::optional<std::string> team = "TEAM";
    std::optional<Path> selfCode() const override { return Path("/Applications/Norvane.app/Contents/MacOS/Norvane"); }
    std::optional<Path> processCode(std::int32_t) const override { return std::nullopt; }
    std::optional<Value::Dictionary> signingInformation(const Path&) const override {
        Value::Dictionary info;
        if (team) info.emplace("teamid", Value::string(*team));
        return info;
    }
    SignatureCheck checkValidity(const Path&, std::string_view) const override { return SignatureCheck::valid; }
};

// What a helper does with a request: events at virtual times after it was sent.
struct Event {
    double at;
    enum { reply, error, refused } kind;
    std::optional<std::string> text;
};

struct FakeXpc final : XpcConnector {
    VirtualQueue& queue;
    std::vector<std::vector<Event>> scripts;  // per connection in turn; later ones repeat the last
    struct Sent {
        std::string name, requirement;
        Value message;
        bool invalidated = false;
    };
    std::vector<std::shared_ptr<Sent>> sent;
    explicit FakeXpc(VirtualQueue& q) : queue(q) {}

    struct Connection final : XpcConnection {
        FakeXpc& xpc;
        std::shared_ptr<Sent> record;
        std::vector<Event> script;
        Connection(FakeXpc& x, std::shared_ptr<Sent> s, std::vector<Event> e) : xpc(x), record(s), script(e) {}
        void setCodeSigningRequirement(std::string requirement) override { record->requirement = requirement; }
        void resume() override {}
        void send(Value message, ReplyHandler reply, ErrorHandler error) override {
            record->message = message;
            for (const auto& event : script)
                xpc.queue.after(event.at, [event, reply, error] {
                    if (event.kind == Event::error) return error(XpcError{event.text.value_or(""), std::nullopt});
                    if (event.kind == Event::refused) return error(XpcError{"refused", event.text});
                    reply(Value::dictionary({{"reply", event.text ? Value::string(*event.text) : Value()}}));
                });
        }
        void invalidate() override { record->invalidated = true; }
    };
    std::unique_ptr<XpcConnection> connectToMachService(std::string_view name) override {
        auto record = std::make_shared<Sent>();
        record->name = name;
        sent.push_back(record);
        const auto& script = scripts.at(std::min(sent.size(), scripts.size()) - 1);
        return std::make_unique<Connection>(*this, record, script);
    }
};

}  // namespace norvane::testing
