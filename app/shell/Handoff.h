#pragma once
// What a second start of the program hands to the running one over its socket, and the
// answer it gets: URLs to open, or one action to run with its parameters.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Value.h"

namespace norvane {

struct OpenUrls {
    std::vector<std::string> urls;
    bool operator==(const OpenUrls&) const = default;
};
struct RunIntent {
    std::string title;
    Value parameters;  // a JSON object, or null for the defaults
    bool operator==(const RunIntent&) const = default;
};
using Handoff = std::variant<OpenUrls, RunIntent>;

// {"open": [url, …]} or {"intent": title, "parameters": {…}}.
Value handoffRequest(const Handoff& handoff);
// Absent for a request of neither form.
std::optional<Handoff> readHandoff(const Value& request);

// {"result": value} or {"error": sentence}.
Value answerReply(Value result);
Value errorReply(std::string error);
// The result, or the error's sentence; a reply of neither form is an error too.
std::variant<Value, std::string> readReply(const Value& reply);

}  // namespace norvane
