// shortcuts: plays the system's Shortcuts app for the actions Norvane offers to scripts,
// the one usage:
//
//   shortcuts run "ACTION TITLE" [--input JSON]
//
// It hands the action and its parameters (a JSON object, "{"percent": 85}") to the running
// Norvane over its instance socket and prints the action's result: a number on a line of
// its own, nothing for an action without one. An action the application refuses (unknown
// title, a parameter out of its range), no running Norvane or any other usage end with the
// sentence on standard error and status 1.

#include <string>
#include <vector>

#include "app/shell/Handoff.h"
#include "app/shell/InstanceService.h"
#include "platform/PropertyList.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

int fail(const std::string& why) {
    sim::writeError("Error: " + why + "\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const bool usage =
        (arguments.size() == 2 || (arguments.size() == 4 && arguments[2] == "--input")) && arguments[0] == "run";
    if (!usage) return fail("this machine answers only: shortcuts run \"ACTION TITLE\" [--input JSON]");
    Value parameters;
    if (arguments.size() == 4) {
        auto parsed = parseJson(arguments[3]);
        if (!parsed) return fail("the input is not JSON.");
        parameters = std::move(*parsed);
    }
    const auto socket = instanceSocketPath();
    if (!socket) return fail("Norvane is not running ($XDG_RUNTIME_DIR is not set).");
    const InstanceReply reply =
        askInstance(*socket, handoffRequest(RunIntent{arguments[1], std::move(parameters)}), instanceAskSeconds);
    if (reply.status == InstanceReply::Status::noInstance) return fail("Norvane is not running.");
    if (reply.status == InstanceReply::Status::failed) return fail("Norvane did not answer.");
    if (reply.status == InstanceReply::Status::tooLarge) return fail("the input is too long.");
    const auto result = readReply(reply.value);
    if (const auto* error = std::get_if<std::string>(&result)) return fail(*error);
    const Value& value = std::get<Value>(result);
    if (!value.isNull()) sim::writeOut(writeJson(value).value_or("") + "\n");
    return 0;
}
