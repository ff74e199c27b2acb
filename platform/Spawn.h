#pragma once
// What the two ways of starting a child share (the process runner and the child-process
// handle): the child's environment and the C arrays that spawning takes.

#include <spawn.h>

#include <string>
#include <vector>

#include "platform/Machine.h"

namespace norvane::spawn {

// Our environment, with NORVANE_MACHINE naming the machine the child belongs to.
std::vector<std::string> environment(const Machine& machine);

// NULL-terminated pointers into `strings`, which must outlive them.
std::vector<char*> pointers(std::vector<std::string>& strings);

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
