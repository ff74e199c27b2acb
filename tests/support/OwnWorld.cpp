#include "tests/support/OwnWorld.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string_view>

extern char** environ;

namespace norvane::testing {
namespace {

namespace fs = std::filesystem;

// What the world's first process gives back when the world could not be made (its reason
// comes on the report pipe).
constexpr int noWorld = 125;

// The process the outermost one waits for, and whether a signal to it must be SIGKILL (a PID
// namespace's first process ignores the others, and its end ends all of the namespace).
volatile sig_atomic_t waitedFor = 0;
volatile sig_atomic_t killHard = 0;

void passOn(int signal) {
    if (waitedFor > 0) ::kill(waitedFor, killHard ? SIGKILL : signal);
}

int exitStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return 1;
    return exitStatus(status);
}

std::string failed(const std::string& what) { return what + ": " + ::strerror(errno); }

bool writeText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

void tell(int fd, const std::string& text) {
    [[maybe_unused]] const auto written = ::write(fd, text.data(), text.size());
}

[[noreturn]] void execute(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const auto& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::fprintf(stderr, "cannot run %s: %s\n", argv[0], ::strerror(errno));
    ::_exit(127);
}

// A PID namespace, and a mount namespace for its /proc. Where the user may not make them (not
// root, or root without the right in a container), a user namespace of its own first, in which
// the user stays who they are (mapped to themselves), so files and permissions mean inside
// what they mean outside.
std::optional<std::string> unshareNamespaces() {
    if (::unshare(CLONE_NEWPID | CLONE_NEWNS) == 0) return std::nullopt;
    const std::string plain = failed("no PID namespace");
    const std::string uid = std::to_string(::geteuid()), gid = std::to_string(::getegid());
    if (::unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNS) != 0)
        return plain + "; " + failed("no user namespace");
    if (!writeText("/proc/self/setgroups", "deny") || !writeText("/proc/self/uid_map", uid + " " + uid + " 1") ||
        !writeText("/proc/self/gid_map", gid + " " + gid + " 1"))
        return failed("the user could not be mapped into a user namespace");
    return std::nullopt;
}

// In the namespace's first process: a /proc that lists the namespace's processes only, in a
// mount namespace whose mounts reach no other.
std::optional<std::string> mountOwnProc() {
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return failed("private mounts refused");
    if (::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
        return failed("a /proc of its own refused");
    return std::nullopt;
}

constexpr const char* busVariable = "DBUS_SESSION_BUS_ADDRESS";

// The world's session bus, where a login has it ($XDG_RUNTIME_DIR/bus) and named in the
// environment once it listens: its pid, or -1 where dbus-daemon cannot run (the world then has
// no bus, never the host's).
pid_t startSessionBus() {
    const std::string address = std::string("unix:path=") + ::getenv("XDG_RUNTIME_DIR") + "/bus";
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        ::unsetenv(busVariable);
        return -1;
    }
    const pid_t bus = ::fork();
    if (bus == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::fcntl(ready[1], F_SETFD, 0);                    // where it prints its address once it listens
        const int quiet = ::open("/dev/null", O_WRONLY);  // as root it warns of its file limit
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        const std::string listen = "--address=" + address, print = "--print-address=" + std::to_string(ready[1]);
        ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", listen.c_str(), print.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(ready[1]);
    bool listening = false;
    for (char c = 0; !listening;) {
        const ssize_t n = ::read(ready[0], &c, 1);
        if (n == 0 || (n < 0 && errno != EINTR)) break;
        listening = n == 1 && c == '\n';
    }
    ::close(ready[0]);
    if (listening) {
        ::setenv(busVariable, address.c_str(), 1);
        return bus;
    }
    if (bus > 0) {
        ::kill(bus, SIGKILL);
        waitFor(bus);
    }
    ::unsetenv(busVariable);
    return -1;
}

// The namespace's first process: starts the world's bus and the command, and reaps every
// process of the namespace that ends (the orphans are handed to it) until the command ends,
// whose status it gives. Its own end then ends every process left, the bus too.
[[noreturn]] void beFirst(const std::vector<std::string>& command) {
    startSessionBus();
    const pid_t child = ::fork();
    if (child < 0) {
        ::perror("fork");
        ::_exit(1);
    }
    if (child == 0) execute(command);
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(-1, &status, 0);
        if (ended == child) ::_exit(exitStatus(status));
        if (ended < 0 && errno != EINTR) ::_exit(1);
    }
}

constexpr int endingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Holds back the ending signals from a fork until the parent knows the child to pass them on
// to; the child takes them as they come, at once.
class EndingSignalsHeld {
public:
    EndingSignalsHeld() {
        sigset_t ending;
        sigemptyset(&ending);
        for (const int signal : endingSignals) sigaddset(&ending, signal);
        ::sigprocmask(SIG_BLOCK, &ending, &before_);
    }
    ~EndingSignalsHeld() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;
    void inChild() const {
        for (const int signal : endingSignals) ::signal(signal, SIG_DFL);
        ::sigprocmask(SIG_SETMASK, &before_, nullptr);
    }

private:
    sigset_t before_{};
};

// The world's namespaces, made in a child: its own first process runs the command. Gives the
// child, which ends with the command's status; the reason comes on `report` when the world
// could not be made.
pid_t startWorld(const std::vector<std::string>& command, int report, const EndingSignalsHeld& held) {
    const pid_t outer = ::getpid();
    const pid_t child = ::fork();
    if (child != 0) return child;
    held.inChild();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // the world ends with the test that waits for it
    if (::getppid() != outer) ::_exit(1);
    if (const auto why = unshareNamespaces()) {
        tell(report, *why);
        ::_exit(noWorld);
    }
    const pid_t first = ::fork();
    if (first == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (const auto why = mountOwnProc()) {
            tell(report, *why);
            ::_exit(noWorld);
        }
        ::close(report);
        beFirst(command);
    }
    if (first < 0) tell(report, failed("no first process"));
    ::close(report);
    ::_exit(first < 0 ? noWorld : waitFor(first));
}

// Whether the variable is one the test run sets, which the world keeps: the sanitizers'
// options (the asan test preset), gtest's own settings (GTEST_FILTER…, set by hand), the
// tests' own variables (a test's ENVIRONMENT property, or a person running it by hand), and the
// terminal's type, which a login keeps too. Not the world's own variables, and not the
// application's (NORVANE_MACHINE, NORVANE_SIM_…): each test gives its application a machine.
bool setByTheTestRun(std::string_view name) {
    constexpr std::string_view names[] = {"ASAN_OPTIONS",       "LSAN_OPTIONS",        "UBSAN_OPTIONS",
                                          "TERM",               "NORVANE_APP",         "NORVANE_OWN_WORLD",
                                          "NORVANE_SCREENSHOT", "NORVANE_SCREENSHOTS", "NORVANE_SOURCE"};
    constexpr std::string_view prefixes[] = {"GTEST_", "NORVANE_TEST_", "NORVANE_JOURNEY_"};
    if (name == worldVariable || name == sharedProcessesVariable) return false;
    for (const auto kept : names)
        if (name == kept) return true;
    for (const auto prefix : prefixes)
        if (name.starts_with(prefix)) return true;
    return false;
}

// The environment the world starts from: what a fresh login has and what the test run sets;
// nothing of the host's loader (LD_LIBRARY_PATH, GTK_PATH, QT_PLUGIN_PATH…), desktop (DISPLAY,
// WAYLAND_DISPLAY, XDG_CURRENT_DESKTOP, QT_…) or session bus, nor its TMPDIR, so the world's
// folder and the tests' temporary ones are in /tmp. The system's PATH holds every program the
// tests run (the build's are named by their paths), and one of the user's folders could shadow
// one. The locale is C.UTF-8 whatever the host's: the tests that mean another name it.
void startFromLogin() {
    std::vector<std::pair<std::string, std::string>> kept;
    for (char** variable = environ; *variable; ++variable) {
        const std::string_view entry = *variable;
        const auto equals = entry.find('=');
        if (equals != std::string_view::npos && setByTheTestRun(entry.substr(0, equals)))
            kept.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
    }
    const passwd* user = ::getpwuid(::geteuid());
    ::clearenv();
    for (const auto& [name, value] : kept) ::setenv(name.c_str(), value.c_str(), 1);
    ::setenv("PATH", "/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin", 1);
    ::setenv("LANG", "C.UTF-8", 1);
    if (user) {
        ::setenv("USER", user->pw_name, 1);
        ::setenv("LOGNAME", user->pw_name, 1);
        ::setenv("SHELL", *user->pw_shell ? user->pw_shell : "/bin/sh", 1);
    }
}

// A temporary folder with a home, the user folders in it and a runtime folder, named in the
// environment that the command inherits.
fs::path makeWorld() {
    std::string pattern = (fs::temp_directory_path() / "norvane-world-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        ::perror("mkdtemp");
        ::exit(1);
    }
    const fs::path world = pattern, home = world / "home";
    const std::pair<const char*, fs::path> folders[] = {
        {"HOME", home},
        {"XDG_CONFIG_HOME", home / ".config"},
        {"XDG_DATA_HOME", home / ".local/share"},
        {"XDG_STATE_HOME", home / ".local/state"},
        {"XDG_CACHE_HOME", home / ".cache"},
        {"XDG_RUNTIME_DIR", world / "run"},
        {worldVariable, world},
    };
    for (const auto& [variable, folder] : folders) {
        fs::create_directories(folder);
        ::setenv(variable, folder.c_str(), 1);
    }
    fs::permissions(world / "run", fs::perms::owner_all, fs::perm_options::replace);
    return world;
}

// Removes the folder whatever a test left in it (folders it may no longer read or enter).
void removeTree(const fs::path& path) {
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(path, error))) {
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
        for (fs::directory_iterator entry(path, error), end; !error && entry != end; entry.increment(error))
            removeTree(entry->path());
    }
    fs::remove(path, error);
}

}  // namespace

int runInOwnWorld(const std::vector<std::string>& command) {
    if (command.empty()) return 2;
    startFromLogin();
    const fs::path world = makeWorld();
    struct sigaction action {};
    action.sa_handler = passOn;
    for (const int signal : endingSignals) ::sigaction(signal, &action, nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        ::perror("pipe");
        return 1;
    }
    pid_t child = -1;
    {
        const EndingSignalsHeld held;
        killHard = 1;
        child = startWorld(command, report[1], held);
        waitedFor = child;
    }
    ::close(report[1]);
    std::string why;
    char buffer[256];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) != 0;)
        if (n > 0) why.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR) break;
    ::close(report[0]);
    int status = child < 0 ? noWorld : waitFor(child);

    if (!why.empty()) {
        // The folders still keep the user's own out; the processes are the machine's.
        ::setenv(sharedProcessesVariable, ("no process view of its own (" + why + ")").c_str(), 1);
        const pid_t bus = startSessionBus();
        pid_t plain = -1;
        {
            const EndingSignalsHeld held;
            killHard = 0;
            plain = ::fork();
            if (plain == 0) {
                held.inChild();
                execute(command);
            }
            waitedFor = plain;
        }
        status = plain < 0 ? 1 : waitFor(plain);
        if (bus > 0) {
            ::kill(bus, SIGTERM);
            waitFor(bus);
        }
    }
    waitedFor = 0;
    removeTree(world);
    return status;
}

std::optional<std::string> cannotBecomeNobody() {
    constexpr unsigned long nobody = 65534;
    // Lines of "first-inside first-outside count".
    for (const char* map : {"/proc/self/uid_map", "/proc/self/gid_map"}) {
        FILE* file = ::fopen(map, "re");
        if (!file) return std::string("cannot read ") + map;
        bool mapped = false;
        for (unsigned long inside = 0, outside = 0, count = 0;
             !mapped && ::fscanf(file, "%lu %lu %lu", &inside, &outside, &count) == 3;)
            mapped = inside <= nobody && nobody - inside < count;
        ::fclose(file);
        if (!mapped) return std::string("nobody (65534) is not mapped in this user namespace (") + map + ")";
    }
    return std::nullopt;
}

pid_t startInOwnPidNamespace(const std::function<int()>& body) {
    const pid_t outer = ::fork();
    if (outer != 0) return outer;
    if (::unshare(CLONE_NEWPID) != 0) ::_exit(77);
    const pid_t first = ::fork();
    if (first == 0) ::_exit(body());
    ::_exit(first < 0 ? 77 : waitFor(first));
}

std::optional<std::string> sharedProcesses() {
    if (!std::getenv(worldVariable)) return "not started in a world of its own";
    if (const char* why = std::getenv(sharedProcessesVariable)) return std::string(why);
    return std::nullopt;
}

}  // namespace norvane::testing
