#pragma once
// Child processes: started by path, their output read to the end, always reaped.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Machine.h"

namespace norvane {

enum class ErrorOutput {
    discard,  // the null device
    inherit,  // our own standard error
    merge,    // into the same pipe as standard output
};

struct ProcessOutput {
    bool started = false;
    std::string error;               // "could not start" and why, when not started
    std::optional<int> exitCode;     // when the program exited
    std::optional<int> signal;       // when a signal ended it
    std::string output;              // everything it wrote, read to the end
    bool succeeded() const { return exitCode == 0; }
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Runs the program with the arguments (not counting the program's own name) and
    // waits for it. Standard input is the null device.
    virtual ProcessOutput run(const std::string& path, const std::vector<std::string>& arguments,
                              ErrorOutput errors = ErrorOutput::discard) const = 0;
    // The same, but what the program writes goes to `output` piece by piece as it comes (cut
    // anywhere) instead of into the result, so a long output is never held whole.
    using OutputSink = std::function<void(std::string_view)>;
    virtual ProcessOutput stream(const std::string& path, const std::vector<std::string>& arguments,
                                 const OutputSink& output, ErrorOutput errors = ErrorOutput::discard) const {
        ProcessOutput result = run(path, arguments, errors);
        if (!result.output.empty()) output(result.output);
        result.output.clear();
        return result;
    }
};

// Real child processes; macOS system paths resolve into the machine folder, and the child
// is told which machine it belongs to through NORVANE_MACHINE.
class SystemProcessRunner final : public ProcessRunner {
public:
    explicit SystemProcessRunner(Machine machine) : machine_(std::move(machine)) {}
    ProcessOutput run(const std::string& path, const std::vector<std::string>& arguments,
                      ErrorOutput errors = ErrorOutput::discard) const override;
    ProcessOutput stream(const std::string& path, const std::vector<std::string>& arguments, const OutputSink& output,
                         ErrorOutput errors = ErrorOutput::discard) const override;
    const Machine& machine() const { return machine_; }

private:
    Machine machine_;
};

}  // namespace norvane
