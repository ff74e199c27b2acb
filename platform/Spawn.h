#pragma once
// What the two ways of starting a child share (the process runner and the child-process
// handle): the child's environment and the C arrays that spawning takes.

#include <spawn.h>

#include <string>
#include <vector>

#include "platform/Machine.h"

namespace norvane::spawn {

// A program with its argument vector and environment, as spawning takes them: macOS system
// paths resolve into the machine folder, the program's own path comes first among the
// arguments, and NORVANE_MACHINE names the machine the child belongs to.
class Command {
public:
    Command(const Machine& machine, const std::string& path, const std::vector<std::string>& arguments);
    // The environment launchd gives a daemon instead of ours: `daemonEnvironment`.
    struct ForDaemon {};
    Command(const Machine& machine, const std::string& path, const std::vector<std::string>& arguments, ForDaemon);
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;
    const char* program() const { return program_.c_str(); }
    char* const* argv() const { return argvPointers_.data(); }
    char* const* environment() const { return environmentPointers_.data(); }

private:
    void point();

    Path program_;
    std::vector<std::string> argv_, environment_;
    std::vector<char*> argvPointers_, environmentPointers_;
};

// What launchd starts a daemon with, whoever asked for it: the machine it belongs to (an
// absolute path) and a fixed PATH, nothing of the caller's environment — a client's loader
// variables (LD_PRELOAD…) would otherwise run its code inside the daemon.
std::vector<std::string> daemonEnvironment(const Machine& machine);

// A pipe whose ends are closed on exec and when it goes.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe();
    bool open();
    void closeRead();
    void closeWrite();
};

class FileActions {
public:
    FileActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
};

}  // namespace norvane::spawn
