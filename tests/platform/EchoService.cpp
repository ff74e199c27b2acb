// A daemon for the XPC tests: listens on the Mach service "test.echo" of its machine and
// answers each request with {"echo": the request, "pid": its own pid}. With a file
// "echo-requirement.txt" in the machine folder, peers must meet that requirement. It ends
// on the request "quit", or 10 s after its last request.

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/XpcListener.h"

using namespace norvane;

int main() {
    const auto machine = Machine::current();
    if (!machine) return 1;
    std::mutex mutex;
    std::condition_variable changed;
    bool quit = false;
    int requests = 0;
    const RecordCodeSigning signing(*machine);
    XpcListener listener(*machine, "test.echo", signing);
    if (const auto requirement = readFile(machine->file("echo-requirement.txt")))
        listener.setCodeSigningRequirement(*requirement);
    listener.setDelegate([&](XpcListener::Connection& connection) {
        connection.exported = [&](const Value& request, std::function<void(Value)> reply) {
            Value::Dictionary answer;
            answer.emplace("echo", request);
            answer.emplace("pid", Value::integer(::getpid()));
            reply(Value::dictionary(std::move(answer)));
            const std::lock_guard lock(mutex);
            quit = quit || (request.asString() && *request.asString() == "quit");
            ++requests;
            changed.notify_all();
            return true;
        };
        return true;
    });
    if (listener.resume()) return 1;
    std::unique_lock lock(mutex);
    for (int seen = -1; !quit && seen != requests;) {
        seen = requests;
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return quit || requests != seen; });
    }
    return 0;
}
