#include "app/onboarding/Relaunch.h"

#include "app/onboarding/Onboarding.h"
#include "platform/ChildProcess.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::string_view open = "/usr/bin/open";

// Nothing when the new instance started, else why not. `open` returns once the app has
// started, so it is waited for; a bare executable is started on its own and left to run.
std::optional<std::string> start(const System& system, const RelaunchCommand& command) {
    if (command.program == open) {
        const ProcessOutput output = system.runner->run(command.program, command.arguments, ErrorOutput::merge);
        if (output.succeeded()) return std::nullopt;
        if (!output.started) return output.error;
        if (auto said = trimmedWhitespace(output.output); !said.empty()) return said;
        if (output.exitCode) return "open ended with status " + std::to_string(*output.exitCode);
        return "open was ended by signal " + std::to_string(output.signal.value_or(0));
    }
    if (ChildProcess::startDetached(system.machine, command.program, command.arguments)) return std::nullopt;
    return command.program + " could not be started";
}

}  // namespace

RelaunchCommand relaunchCommand(const MainBundle& bundle, const Path& executable,
                                const std::vector<std::string>& arguments) {
    if (!bundle.isApplication()) return {executable.string(), arguments};
    RelaunchCommand command{std::string(open), {"-n", bundle.bundlePath().string()}};
    if (!arguments.empty()) {
        command.arguments.emplace_back("--args");
        command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    }
    return command;
}

void relaunch(std::shared_ptr<const System> system, MainQueue& queue, const Path& executable,
              Handover handover, std::function<void(const std::string& reason)> failed) {
    system->defaults->set(onboarding_keys::resume, Value::boolean(true));
    const RelaunchCommand command = relaunchCommand(*system->bundle, executable, system->arguments);
    if (handover.release) handover.release();
    queue.background(Priority::userInitiated, [system, command, reclaim = std::move(handover.reclaim),
                                               failed = std::move(failed)] {
        auto failure = start(*system, command);
        return std::function<void()>([system, reclaim, failed, failure = std::move(failure)] {
            if (!failure) {
                if (system->terminate) system->terminate();
                return;
            }
            system->defaults->remove(onboarding_keys::resume);
            if (reclaim) reclaim();
            systemLog(system->machine, "Norvane: the app could not be started again, so it stays open: " + *failure);
            if (failed) failed(*failure);
        });
    });
}

}  // namespace norvane
