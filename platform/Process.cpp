#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Spawn.h"

namespace norvane {
ProcessOutput SystemProcessRunner::run(const std::string& path, const std::vector<std::string>& arguments,
                                       ErrorOutput errors) const {
    std::string output;
    ProcessOutput result = stream(path, arguments, [&](std::string_view piece) { output.append(piece); }, errors);
    result.output = std::move(output);
    return result;
}

ProcessOutput SystemProcessRunner::stream(const std::string& path, const std::vector<std::string>& arguments,
                                          const OutputSink& output, ErrorOutput errors) const {
    ProcessOutput result;
    const spawn::Command command(machine_, path, arguments);

    spawn::Pipe pipe;
    if (!pipe.open()) {
        result.error = "could not start " + path + ": " + std::strerror(errno);
        return result;
    }

    spawn::FileActions actions;
    ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(actions.get(), pipe.write, 1);
    if (errors == ErrorOutput::discard)
        ::posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
    else if (errors == ErrorOutput::merge)
        ::posix_spawn_file_actions_adddup2(actions.get(), pipe.write, 2);

    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, command.program(), actions.get(), nullptr, command.argv(), command.environment());
    pipe.closeWrite();
    if (spawned != 0) {
        result.error = "could not start " + path + ": " + std::strerror(spawned);
        return result;
    }
    result.started = true;

    // Read everything first: a child that fills the pipe would otherwise never exit.
    char buffer[65536];
    try {
        for (;;) {
            const ssize_t n = ::read(pipe.read, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (n == 0) break;
            output(std::string_view(buffer, static_cast<std::size_t>(n)));
        }
    } catch (...) {
        // The sink gave up (out of memory): the child is not left behind unreaped.
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        throw;
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
