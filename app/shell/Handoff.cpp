#include "app/shell/Handoff.h"

namespace norvane {

Value handoffRequest(const Handoff& handoff) {
    if (const auto* open = std::get_if<OpenUrls>(&handoff)) {
        Value::Array urls;
        for (const auto& url : open->urls) urls.push_back(Value::string(url));
        return Value::dictionary({{"open", Value::array(std::move(urls))}});
    }
    const auto& run = std::get<RunIntent>(handoff);
    return Value::dictionary({{"intent", Value::string(run.title)}, {"parameters", run.parameters}});
}

std::optional<Handoff> readHandoff(const Value& request) {
    const auto* members = request.asDictionary();
    if (!members || members->size() > 2) return std::nullopt;
    if (const auto* open = request.find("open"); open && members->size() == 1 && open->asArray()) {
        OpenUrls urls;
        for (const Value& url : *open->asArray()) {
            if (!url.asString()) return std::nullopt;
            urls.urls.push_back(*url.asString());
        }
        return urls;
    }
    const Value* title = request.find("intent");
    const Value* parameters = request.find("parameters");
    if (!title || !title->asString() || members->size() != (parameters ? 2u : 1u)) return std::nullopt;
    return RunIntent{*title->asString(), parameters ? *parameters : Value()};
}

Value answerReply(Value result) { return Value::dictionary({{"result", std::move(result)}}); }

Value errorReply(std::string error) { return Value::dictionary({{"error", Value::string(std::move(error))}}); }

std::variant<Value, std::string> readReply(const Value& reply) {
    if (const auto* result = reply.find("result")) return *result;
    if (const auto* error = reply.find("error"); error && error->asString()) return *error->asString();
    return std::string("The application gave no answer that could be read.");
}

}  // namespace norvane
