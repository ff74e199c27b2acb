#include "platform/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace norvane {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        if (read >= 0) ::close(read);
        if (write >= 0) ::close(write);
    }
};

class SpawnActions {
public:
    SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
};

std::vector<std::string> childEnvironment(const Machine& machine) {
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

}  // namespace

ProcessOutput SystemProcessRunner::run(const std::string& path, const std::vector<std::string>& arguments,
                                       ErrorOutput errors) const {
    ProcessOutput result;
    const Path program = machine_.resolve(path);

    Pipe pipe;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.error = "could not start " + path + ": " + std::strerror(errno);
        return result;
    }
    pipe.read = fds[0];
    pipe.write = fds[1];

    SpawnActions actions;
    ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(actions.get(), pipe.write, 1);
    if (errors == ErrorOutput::discard)
        ::posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
    else if (errors == ErrorOutput::merge)
        ::posix_spawn_file_actions_adddup2(actions.get(), pipe.write, 2);

    std::vector<std::string> argv{path};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto argvPointers = pointers(argv);
    auto environment = childEnvironment(machine_);
    auto environmentPointers = pointers(environment);

    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argvPointers.data(), environmentPointers.data());
    ::close(pipe.write);
    pipe.write = -1;
    if (spawned != 0) {
        result.error = "could not start " + path + ": " + std::strerror(spawned);
        return result;
    }
    result.started = true;

    // Read everything first: a child that fills the pipe would otherwise never exit.
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(pipe.read, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) break;
        result.output.append(buffer, static_cast<std::size_t>(n));
    }

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return result;
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

}  // namespace norvane
