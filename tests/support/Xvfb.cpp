#include "tests/support/Xvfb.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace norvane::testing {
namespace {

std::vector<char*> argv(std::vector<std::string>& arguments) {
    std::vector<char*> out;
    for (auto& argument : arguments)
        out.push_back(argument.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

Xvfb::Xvfb() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    // Without -noreset the server resets when its last client leaves and refuses the next.
    std::vector<std::string> arguments{"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-noreset"};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addclose(&actions, fds[0]);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const bool started = ::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv(arguments).data(), environ) == 0;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (!started) pid_ = -1;
    std::string number;
    char c = 0;
    while (started && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

Xvfb::~Xvfb() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

std::optional<std::string> xdotool(const std::string& display, std::vector<std::string> arguments) {
    const std::string path = "/usr/bin/xdotool";
    int fds[2];
    if (::access(path.c_str(), X_OK) != 0 || ::pipe(fds) != 0) return std::nullopt;
    std::string variable = "DISPLAY=" + display;
    std::vector<char*> environment{variable.data(), nullptr};
    arguments.insert(arguments.begin(), "xdotool");
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addclose(&actions, fds[0]);
    ::posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = -1;
    const bool started =
        ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv(arguments).data(), environment.data()) == 0;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; started && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    if (!started || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

}  // namespace norvane::testing
