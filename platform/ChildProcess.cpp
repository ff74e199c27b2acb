#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/ProcessKernel.h"
#include "platform/Spawn.h"

namespace norvane {
namespace {

constexpr double terminateGrace = 2.0;

// A child must not inherit what we block or ignore: a guard that ignored SIGTERM could
// never be ended.
class SpawnAttributes {
public:
    SpawnAttributes() {
        ::posix_spawnattr_init(&attributes_);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (int s : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD}) sigaddset(&defaults, s);
        ::posix_spawnattr_setsigmask(&attributes_, &none);
        ::posix_spawnattr_setsigdefault(&attributes_, &defaults);
        ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_{};
};

bool readAll(int fd, void* into, std::size_t size) {
    auto* bytes = static_cast<char*>(into);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<ChildProcess> ChildProcess::start(const Machine& machine, const std::string& path,
                                                const std::vector<std::string>& arguments) {
    const spawn::Command command(machine, path, arguments);
    spawn::FileActions actions;
    ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    SpawnAttributes attributes;
    pid_t pid = -1;
    if (::posix_spawn(&pid, command.program(), actions.get(), attributes.get(), command.argv(),
                      command.environment()) != 0)
        return std::nullopt;
    ChildProcess child(pid);
    child.reaped_ = false;
    return child;
}

namespace {

// A grandchild in a session of its own, which outlives us and is never ours to reap; in the
// root folder when it is a daemon. Its pid, or absent when it could not be started.
std::optional<std::int32_t> startApart(const spawn::Command& command, ChildProcess::Output output, bool daemon) {
    // Everything the children need is made before forking: between fork and exec only
    // async-signal-safe calls are allowed.
    spawn::Pipe reported, failed;  // the grandchild's pid; why it could not start
    if (!reported.open() || !failed.open()) return std::nullopt;

    const pid_t middle = ::fork();
    if (middle < 0) return std::nullopt;
    if (middle == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            const int null = ::open("/dev/null", O_RDONLY);
            if (null >= 0) ::dup2(null, 0);
            if (output == ChildProcess::Output::discard) {
                const int sink = ::open("/dev/null", O_WRONLY);
                if (sink >= 0) {
                    ::dup2(sink, 1);
                    ::dup2(sink, 2);
                }
            }
            if (!daemon || ::chdir("/") == 0) ::execve(command.program(), command.argv(), command.environment());
            const int error = errno;
            (void)!::write(failed.write, &error, sizeof error);
            ::_exit(127);
        }
        (void)!::write(reported.write, &grandchild, sizeof grandchild);
        ::_exit(0);
    }
    reported.closeWrite();
    failed.closeWrite();
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    pid_t grandchild = -1;
    if (!readAll(reported.read, &grandchild, sizeof grandchild) || grandchild <= 0) return std::nullopt;
    // The error pipe closes on a successful exec; an error number in it means none.
    int error = 0;
    if (readAll(failed.read, &error, sizeof error)) return std::nullopt;
    return grandchild;
}

}  // namespace

std::optional<std::int32_t> ChildProcess::startDetached(const Machine& machine, const std::string& path,
                                                        const std::vector<std::string>& arguments, Output output) {
    return startApart(spawn::Command(machine, path, arguments), output, false);
}

std::optional<std::int32_t> ChildProcess::startDaemon(const Machine& machine, const std::string& path) {
    return startApart(spawn::Command(machine, path, {}, spawn::Command::ForDaemon{}), Output::discard, true);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      reaped_(std::exchange(other.reaped_, true)),
      exitCode_(other.exitCode_),
      signal_(other.signal_) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        terminate();
        pid_ = std::exchange(other.pid_, -1);
        reaped_ = std::exchange(other.reaped_, true);
        exitCode_ = other.exitCode_;
        signal_ = other.signal_;
    }
    return *this;
}

ChildProcess::~ChildProcess() { terminate(); }

bool ChildProcess::reap(bool block) {
    if (reaped_) return true;
    int status = 0;
    pid_t done = -1;
    do {
        done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) return false;
    // Reaped now, or by someone else (ECHILD): either way it is no longer ours.
    reaped_ = true;
    if (done < 0) return true;
    if (WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) signal_ = WTERMSIG(status);
    return true;
}

bool ChildProcess::running() { return !reap(false); }

bool ChildProcess::wait(double seconds) {
    if (reaped_) return true;
    return waitForProcessEnd(pid_, seconds) && reap(true);
}

void ChildProcess::terminate() {
    if (reaped_ || reap(false)) return;
    ::kill(pid_, SIGTERM);
    if (wait(terminateGrace)) return;
    ::kill(pid_, SIGKILL);
    reap(true);
}

}  // namespace norvane
