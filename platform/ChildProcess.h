#pragma once
// A child process that runs beside us: started without waiting for it, asked whether it
// still runs, terminated; never left behind unreaped. The lid guard, the helper's start
// on demand and the updater's relaunch are started this way.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Machine.h"

namespace norvane {

class ChildProcess {
public:
    // Starts the program (macOS system paths resolve into the machine folder, and the
    // child learns its machine through NORVANE_MACHINE) with the arguments, not counting
    // its own name. Standard input is the null device; output and errors are ours. Absent
    // when it cannot be started.
    static std::optional<ChildProcess> start(const Machine& machine, const std::string& path,
                                             const std::vector<std::string>& arguments);

    // Starts the program in a session of its own, as a grandchild that outlives us and is
    // never ours to reap. Its output and errors are ours, or the null device (as launchd gives
    // a daemon), so that it keeps no pipe of ours open. Its pid, or absent when it could not
    // be started.
    enum class Output { inherit, discard };
    static std::optional<std::int32_t> startDetached(const Machine& machine, const std::string& path,
                                                     const std::vector<std::string>& arguments,
                                                     Output output = Output::inherit);
    // Starts a daemon as launchd does, whoever asks: detached like the above, its input and
    // output the null device, in the root folder, with launchd's fixed environment
    // (spawn::daemonEnvironment), never the caller's.
    static std::optional<std::int32_t> startDaemon(const Machine& machine, const std::string& path);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Terminates it if it still runs, and reaps it.
    ~ChildProcess();

    std::int32_t pid() const { return pid_; }
    // Whether it still runs; reaps it when it has ended.
    bool running();
    // Waits at most `seconds` for it to end; true (and reaped) when it has.
    bool wait(double seconds);
    // Asks it to end (SIGTERM), kills it when it has not ended after a short grace, and
    // reaps it in every case.
    void terminate();
    // How it ended, once reaped.
    std::optional<int> exitCode() const { return exitCode_; }
    std::optional<int> signal() const { return signal_; }

private:
    explicit ChildProcess(std::int32_t pid) : pid_(pid) {}
    bool reap(bool block);

    std::int32_t pid_ = -1;
    bool reaped_ = true;
    std::optional<int> exitCode_;
    std::optional<int> signal_;
};

}  // namespace norvane
