#include "platform/Spawn.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace norvane::spawn {

std::vector<std::string> environment(const Machine& machine) {
    std::vector<std::string> out;
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "NORVANE_MACHINE=", 16) != 0) out.emplace_back(*e);
    out.push_back("NORVANE_MACHINE=" + machine.root().string());
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
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
