#include "platform/Spawn.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace norvane::spawn {

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

Command::Command(const Machine& machine, const std::string& path, const std::vector<std::string>& arguments)
    : program_(machine.resolve(path)), argv_{path} {
    argv_.insert(argv_.end(), arguments.begin(), arguments.end());
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "NORVANE_MACHINE=", 16) != 0) environment_.emplace_back(*e);
    environment_.push_back("NORVANE_MACHINE=" + machine.root().string());
    point();
}

Command::Command(const Machine& machine, const std::string& path, const std::vector<std::string>& arguments, ForDaemon)
    : program_(machine.resolve(path)), argv_{path}, environment_(daemonEnvironment(machine)) {
    argv_.insert(argv_.end(), arguments.begin(), arguments.end());
    point();
}

void Command::point() {
    argvPointers_ = pointers(argv_);
    environmentPointers_ = pointers(environment_);
}

// The helper reads nothing else from its environment: the machine names its files, and its one
// command is the machine's pmset. Not even a sanitizer build passes its options on: the
// daemon's output goes to the null device, what the sanitizers find ends it all the same (the
// build does not recover from a finding), and no one reads its exit status.
std::vector<std::string> daemonEnvironment(const Machine& machine) {
    std::error_code error;
    const Path root = std::filesystem::absolute(machine.root(), error);
    return {"NORVANE_MACHINE=" + (error ? machine.root() : root).string(), "PATH=/usr/bin:/bin:/usr/sbin:/sbin"};
}

Pipe::~Pipe() {
    closeRead();
    closeWrite();
}

bool Pipe::open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    read = fds[0];
    write = fds[1];
    return true;
}

void Pipe::closeRead() {
    if (read >= 0) ::close(read);
    read = -1;
}

void Pipe::closeWrite() {
    if (write >= 0) ::close(write);
    write = -1;
}

}  // namespace norvane::spawn
